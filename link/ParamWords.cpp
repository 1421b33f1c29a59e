#include "link/ParamWords.h"

#include "link/NumberText.h"

namespace paramwords {

namespace {

constexpr TParamInfo Table[ParamCount] = {
    {"#1 (signed)", EKind::Signed},  {"Kf (#2)", EKind::FixedPoint},
    {"Kp (#3)", EKind::FixedPoint},  {"Ki (#4)", EKind::FixedPoint},
    {"#5 (signed)", EKind::Signed},  {"#6", EKind::Unsigned},
};

constexpr int64_t WordMax = 65535;

TConversion WholeNumber(EKind kind, const QString& text) {
    const auto value = numtext::StrToInt(text);
    if (!value) return {};
    const int64_t low = kind == EKind::Signed ? -32768 : 0;
    const int64_t high = kind == EKind::Signed ? 32767 : WordMax;
    if (*value < low || *value > high) return {EOutcome::OutOfRange, 0};
    return {EOutcome::Converted, uint16_t(uint32_t(*value))};
}

TConversion FixedPoint(const QString& text) {
    const auto value = numtext::StrToFloat(text);
    if (!value) return {};
    // Checked before rounding, so no value (1e30 included) can overflow it.
    const long double scaled = *value * 256.0L;
    if (!(scaled >= -0.5L && scaled <= WordMax + 0.5L)) return {EOutcome::OutOfRange, 0};
    const int64_t rounded = numtext::RoundHalfEvenToInt64(scaled);
    if (rounded < 0 || rounded > WordMax) return {EOutcome::OutOfRange, 0};
    return {EOutcome::Converted, uint16_t(rounded)};
}

}  // namespace

const TParamInfo& Info(int index) { return Table[index]; }

QString Label(int index) { return QString::fromUtf8(Table[index].label); }

TConversion Convert(int index, const QString& text) {
    const EKind kind = Table[index].kind;
    return kind == EKind::FixedPoint ? FixedPoint(text) : WholeNumber(kind, text);
}

QString RangeMessage(int index) {
    QString low = QStringLiteral("0"), high = QString::number(WordMax);
    switch (Table[index].kind) {
    case EKind::Signed: low = QStringLiteral("-32768"), high = QStringLiteral("32767"); break;
    case EKind::FixedPoint:
        high = QStringLiteral("255") + numtext::DecimalSeparator() + QStringLiteral("99609375");
        break;
    case EKind::Unsigned: break;
    }
    return QString::fromUtf8("Параметр %1: допустимо от %2 до %3").arg(Label(index), low, high);
}

QString Text(int index, uint16_t word) {
    switch (Table[index].kind) {
    case EKind::Signed: return QString::number(int16_t(word));
    case EKind::FixedPoint: return numtext::FormatParam(word);
    case EKind::Unsigned: break;
    }
    return QString::number(word);
}

std::array<QString, ParamCount> Texts(const std::array<uint16_t, ParamCount>& words) {
    std::array<QString, ParamCount> texts;
    for (int i = 0; i < ParamCount; ++i) texts[size_t(i)] = Text(i, words[size_t(i)]);
    return texts;
}

QString DistinctText(int index, uint16_t word, uint16_t other, const char* wordName) {
    const QString text = Text(index, word);
    if (word == other || text != Text(index, other)) return text;
    return QStringLiteral("%1 (%2 %3)").arg(text, QString::fromUtf8(wordName)).arg(word);
}

}  // namespace paramwords

namespace paramwords {

void TShownWords::Filled(int index, const QString& text, uint16_t word) {
    FShown[size_t(index)] = TShown{text, word};
}

void TShownWords::Edited(int index) { FShown[size_t(index)].reset(); }

std::optional<uint16_t> TShownWords::Unchanged(int index, const QString& text) const {
    const auto& shown = FShown[size_t(index)];
    if (!shown || shown->text != text) return std::nullopt;
    return shown->word;
}

}  // namespace paramwords
