// Number text: the integer and real conversions of user input and the
// parameter number format. Failures are results, never exceptions, except
// RoundHalfEvenToInt64 on a value outside the 64-bit range.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>

#include <QChar>
#include <QString>

namespace numtext {

// The decimal separator used both to show and to read reals (the user's locale).
QChar DecimalSeparator();
// For tests and for a user who wants another separator than the locale's.
void SetDecimalSeparator(QChar separator);
// Back to the locale's separator after SetDecimalSeparator.
void ResetDecimalSeparator();

// Leading blanks, optional sign, decimal digits or hex after "$", "x" or "0x"
// (either case); nothing may follow; must fit in a signed 32-bit integer.
std::optional<int32_t> StrToInt(const QString& text);

// A real number with DecimalSeparator(); optional exponent.
std::optional<long double> StrToFloat(const QString& text);

// Floating-point overflow: a value that does not fit where it must go.
class EOverflow : public std::overflow_error {
public:
    using std::overflow_error::overflow_error;
};

// Nearest integer, an exact half to the even neighbour; throws EOverflow when
// the value (or NaN) does not fit in 64 bits.
int64_t RoundHalfEvenToInt64(long double value);

// word / 256 with at most four significant digits, trailing zeros dropped.
QString FormatParam(uint16_t word);

}  // namespace numtext
