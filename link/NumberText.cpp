// Number text: conversions of what the user types, and the way parameter
// words are shown. Runs on the main thread.
#include "link/NumberText.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include <QLocale>

namespace numtext {

namespace {

std::optional<QChar> gSeparatorOverride;

bool IsBlank(QChar c) { return c == u' ' || c == u'\t'; }
bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

int HexValue(QChar c) {
    if (IsDigit(c)) return c.unicode() - u'0';
    if (c >= u'a' && c <= u'f') return c.unicode() - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c.unicode() - u'A' + 10;
    return -1;
}

// Accumulates digits of one base into a magnitude; false on a non-digit, on
// no digit at all, or once the magnitude exceeds `limit` (checked per digit,
// so any number of leading zeros is fine and nothing overflows).
bool ParseMagnitude(const QString& text, qsizetype pos, int base, uint64_t limit, uint64_t& out) {
    if (pos >= text.size()) return false;
    uint64_t value = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = base == 16 ? HexValue(text[pos]) : (IsDigit(text[pos]) ? text[pos].unicode() - u'0' : -1);
        if (digit < 0) return false;
        value = value * uint64_t(base) + uint64_t(digit);
        if (value > limit) return false;
    }
    out = value;
    return true;
}

// Length of the hexadecimal prefix at pos ("$", "x", "0x", either case), or 0.
qsizetype HexPrefixLength(const QString& text, qsizetype pos) {
    if (pos < text.size() && (text[pos] == u'$' || text[pos] == u'x' || text[pos] == u'X')) return 1;
    if (pos + 1 < text.size() && text[pos] == u'0' && (text[pos + 1] == u'x' || text[pos + 1] == u'X'))
        return 2;
    return 0;
}

// Rewrites a real typed with `sep` into the plain ASCII form that from_chars
// reads; nullopt when the text is not sign, digits [sep digits] [e [sign] digits].
std::optional<std::string> NormaliseReal(const QString& text, QChar sep) {
    qsizetype pos = 0, end = text.size();
    while (pos < end && IsBlank(text[pos])) ++pos;
    while (end > pos && IsBlank(text[end - 1])) --end;
    std::string out;
    if (pos < end && (text[pos] == u'+' || text[pos] == u'-')) {
        if (text[pos] == u'-') out += '-';
        ++pos;
    }
    int mantissaDigits = 0;
    auto takeDigits = [&](int& count) {
        for (; pos < end && IsDigit(text[pos]); ++pos, ++count) out += char(text[pos].unicode());
    };
    takeDigits(mantissaDigits);
    if (pos < end && text[pos] == sep) {
        out += '.';
        ++pos;
        takeDigits(mantissaDigits);
    }
    if (mantissaDigits == 0) return std::nullopt;
    if (pos < end && (text[pos] == u'e' || text[pos] == u'E')) {
        out += 'e';
        ++pos;
        if (pos < end && (text[pos] == u'+' || text[pos] == u'-')) out += char(text[pos++].unicode());
        int exponentDigits = 0;
        takeDigits(exponentDigits);
        if (exponentDigits == 0) return std::nullopt;
    }
    if (pos != end) return std::nullopt;
    return out;
}

}  // namespace

QChar DecimalSeparator() {
    if (gSeparatorOverride) return *gSeparatorOverride;
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point[0];
}

void SetDecimalSeparator(QChar separator) { gSeparatorOverride = separator; }

void ResetDecimalSeparator() { gSeparatorOverride.reset(); }

std::optional<int32_t> StrToInt(const QString& text) {
    qsizetype pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    // A hexadecimal text is a magnitude like a decimal one: "$FFFFFFFF" is
    // 4294967295, which does not fit, rather than a bit pattern meaning -1.
    const uint64_t limit = negative ? 0x80000000ull : 0x7FFFFFFFull;
    const qsizetype prefix = HexPrefixLength(text, pos);
    uint64_t magnitude = 0;
    if (!ParseMagnitude(text, pos + prefix, prefix ? 16 : 10, limit, magnitude)) return std::nullopt;
    return negative ? int32_t(-int64_t(magnitude)) : int32_t(magnitude);
}

std::optional<long double> StrToFloat(const QString& text) {
    const std::optional<std::string> plain = NormaliseReal(text, DecimalSeparator());
    if (!plain) return std::nullopt;
    long double value = 0;
    const char* first = plain->data();
    const char* last = first + plain->size();
    const auto [ptr, ec] = std::from_chars(first, last, value);
    if (ec != std::errc() || ptr != last) return std::nullopt;
    return value;
}

int64_t RoundHalfEvenToInt64(long double value) {
    if (!std::isfinite(value)) throw EOverflow("Floating point overflow");
    long double rounded = std::floor(value);
    const long double fraction = value - rounded;  // exact for every finite long double
    if (fraction > 0.5L || (fraction == 0.5L && std::fmod(rounded, 2.0L) != 0)) rounded += 1;
    if (rounded < -9223372036854775808.0L || rounded >= 9223372036854775808.0L)
        throw EOverflow("Floating point overflow");
    return int64_t(rounded);
}

QString FormatParam(uint16_t word) {
    if (word == 0) return QStringLiteral("0");
    // word / 256 == word * 390625 / 10^8 exactly: work on that integer.
    int64_t digits = int64_t(word) * 390625;
    int exponent = -8;  // value == digits * 10^exponent
    int64_t scale = 1;
    for (int64_t n = digits; n >= 10000; n /= 10) scale *= 10;
    if (scale > 1) {
        const int64_t rest = digits % scale;
        digits /= scale;
        if (rest * 2 >= scale) ++digits;  // fifth significant digit 5 or more
        for (int64_t s = scale; s > 1; s /= 10) ++exponent;
    }
    while (digits % 10 == 0) {
        digits /= 10;
        ++exponent;
    }
    QString text = QString::number(digits);
    if (exponent >= 0) return text + QString(exponent, u'0');
    const qsizetype fractionLength = -exponent;
    if (text.size() <= fractionLength) text = QString(fractionLength - text.size() + 1, u'0') + text;
    text.insert(text.size() - fractionLength, DecimalSeparator());
    return text;
}

}  // namespace numtext
