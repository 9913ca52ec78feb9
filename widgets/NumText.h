#pragma once
// Text <-> number for the numeric spin field, free of widgets so that tests,
// benchmarks and the fuzzer reach it directly. Every function takes the
// decimal separator explicitly; DecimalSeparator() gives the user's one.

#include "widgets/NumSpinTypes.h"

#include <QString>
#include <QStringView>
#include <optional>

namespace numspin {

// The default locale's decimal separator, a full stop when it names none.
QChar DecimalSeparator();

// Spaces (the space character only), a sign, digits with at most one
// separator, an optional exponent; a lone separator reads as 0, an exponent
// mark without digits as exponent 0. Fails beyond the range of long double.
std::optional<long double> ParseFloatText(QStringView text, QChar separator);
// Spaces, a sign, then decimal digits, or hexadecimal digits after "$", "x",
// "X", "0x" or "0X"; nothing may follow. Fails outside 32 bits.
std::optional<qint32> ParseIntegerText(QStringView text);
// Hexadecimal digits only, taken as a 32-bit two's-complement value.
std::optional<qint32> ParseHexText(QStringView text);

// Reading a field: the parsed number, or the fallback taken from the lower
// limit (truncated toward zero for the integer kinds).
long double TextToValue(QStringView text, TValueType type, long double minValue, QChar separator);

// Fixed point with exactly `decimals` places, rounded half away from zero
// from the 18-digit decimal expansion and to at most 15 significant digits;
// more than 15 integer digits give the exponent form.
QString FormatFixed(long double value, int decimals, QChar separator);
// Rounded half to even, in decimal.
QString FormatInteger(long double value);
// Rounded half to even, upper-case hexadecimal without prefix; negative
// numbers within 32 bits as their two's complement, so they read back.
QString FormatHex(long double value);
// Writing a field, after clamping. Non-finite numbers give no text (empty
// optional): they have no form that would read back.
std::optional<QString> ValueToText(long double value, TValueType type, int decimals,
                                   QChar separator);

// Equal limits mean no limits; the lower limit is tested first.
long double ClampToLimits(long double x, long double minValue, long double maxValue);
// To the nearest integer, exact halves to the even neighbour.
long double RoundHalfEven(long double x);
// Toward zero, saturated to the 32-bit range (NaN gives 0).
qint32 TruncToInt32(long double x);

// The key filter: whether a typed character may enter `text`.
bool IsAcceptedChar(QChar key, TValueType type, QStringView text, QChar separator,
                    bool editorEnabled);

} // namespace numspin
