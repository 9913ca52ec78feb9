#include "widgets/NumText.h"

#include <QLocale>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

// The C library's number conversions follow the user's locale once a
// QApplication exists; std::to_chars and std::from_chars never do, and they
// are the only ones that keep the full 64-bit mantissa of long double.

namespace numspin {

namespace {

bool IsAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

int HexDigitValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

qsizetype SkipSpaces(QStringView text, qsizetype i) {
    while (i < text.size() && text[i] == u' ')
        ++i;
    return i;
}

// A saturating decimal exponent, enough to tell overflow from underflow.
long long SaturatedExponent(const std::string& digits, bool negative) {
    long long e = 0;
    for (char c : digits) {
        e = e * 10 + (c - '0');
        if (e > 1'000'000'000)
            break;
    }
    return negative ? -e : e;
}

// 18 significant digits and the power of ten of the first one.
struct DecimalExpansion {
    bool negative = false;
    int digits[18] = {};
    int exponent = 0;
};

DecimalExpansion Expand(long double value) {
    DecimalExpansion d;
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 17);
    const char* p = buf;
    if (*p == '-') {
        d.negative = true;
        ++p;
    }
    int n = 0;
    for (; p < r.ptr && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9' && n < 18)
            d.digits[n++] = *p - '0';
    if (p < r.ptr) {
        ++p; // 'e'
        std::from_chars(*p == '+' ? p + 1 : p, r.ptr, d.exponent);
    }
    return d;
}

// Keeps `keep` significant digits, rounding half away from zero; a carry out
// of the first digit raises the exponent. Answers false when nothing is left.
bool RoundExpansion(DecimalExpansion& d, int keep) {
    if (keep < 0)
        return false;
    if (keep >= 18)
        return true;
    const bool up = d.digits[keep] >= 5;
    for (int i = keep; i < 18; ++i)
        d.digits[i] = 0;
    if (!up)
        return keep > 0;
    int i = keep - 1;
    while (i >= 0 && d.digits[i] == 9)
        d.digits[i--] = 0;
    if (i >= 0) {
        ++d.digits[i];
    } else {
        d.digits[0] = 1;
        for (int j = 1; j < 18; ++j)
            d.digits[j] = 0;
        ++d.exponent;
    }
    return true;
}

QString ExponentForm(DecimalExpansion d, QChar separator) {
    RoundExpansion(d, 15);
    int last = 14;
    while (last > 0 && d.digits[last] == 0)
        --last;
    QString s;
    if (d.negative)
        s += u'-';
    s += QChar(u'0' + d.digits[0]);
    if (last > 0) {
        s += separator;
        for (int i = 1; i <= last; ++i)
            s += QChar(u'0' + d.digits[i]);
    }
    s += d.exponent < 0 ? u"E-" : u"E+";
    s += QString::number(std::abs(d.exponent));
    return s;
}

QString Zero(int decimals, QChar separator) {
    QString s(u'0');
    if (decimals > 0) {
        s += separator;
        s += QString(decimals, u'0');
    }
    return s;
}

// The long double nearest to a plain decimal text such as "-12.5e3", or the error std::from_chars
// gives (a value out of range is left alone).
std::errc LongDoubleFromText(const std::string& text, long double& value) {
#ifdef __MINGW32__
    // MinGW-w64's libstdc++ parses a long double through double and loses its last 11 bits;
    // MinGW-w64's own strtold keeps them. The text has the C locale's point, and the program never
    // sets another C locale on Windows.
    errno = 0;
    char* end = nullptr;
    const long double parsed = __mingw_strtold(text.c_str(), &end);
    if (end != text.c_str() + text.size())
        return std::errc::invalid_argument;
    if (errno == ERANGE)
        return std::errc::result_out_of_range;
    value = parsed;
    return {};
#else
    return std::from_chars(text.data(), text.data() + text.size(), value).ec;
#endif
}

// Exact decimal digits of a whole number, however large.
QString WholeToDecimal(long double whole) {
    char small[64];
    auto r = std::to_chars(small, small + sizeof small, whole, std::chars_format::fixed, 0);
    if (r.ec == std::errc())
        return QString::fromLatin1(small, r.ptr - small);
    std::string big(6000, '\0');
    r = std::to_chars(big.data(), big.data() + big.size(), whole, std::chars_format::fixed, 0);
    return QString::fromLatin1(big.data(), r.ptr - big.data());
}

QString MagnitudeToHex(long double whole) {
    QString digits;
    long double m = std::fabs(whole);
    while (m >= 1) {
        const int d = static_cast<int>(std::fmod(m, 16.0L));
        digits.prepend(QChar(d < 10 ? u'0' + d : u'A' + d - 10));
        m = std::floor(m / 16);
    }
    if (digits.isEmpty())
        digits = QStringLiteral("0");
    if (whole < 0)
        digits.prepend(u'-');
    return digits;
}

} // namespace

QChar DecimalSeparator() {
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

std::optional<long double> ParseFloatText(QStringView text, QChar separator) {
    qsizetype i = SkipSpaces(text, 0);
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::string whole, fraction;
    bool separatorSeen = false;
    for (; i < n; ++i) {
        if (IsAsciiDigit(text[i]))
            (separatorSeen ? fraction : whole) += char(text[i].unicode());
        else if (text[i] == separator && !separatorSeen)
            separatorSeen = true;
        else
            break;
    }
    if (whole.empty() && fraction.empty() && !separatorSeen)
        return std::nullopt;
    std::string exponent;
    bool exponentNegative = false;
    if (i < n && (text[i] == u'E' || text[i] == u'e')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            exponentNegative = text[i++] == u'-';
        for (; i < n && IsAsciiDigit(text[i]); ++i)
            exponent += char(text[i].unicode());
    }
    if (SkipSpaces(text, i) != n)
        return std::nullopt;
    if (whole.empty() && fraction.empty())
        return 0.0L;

    std::string normal;
    normal.reserve(whole.size() + fraction.size() + exponent.size() + 6);
    if (negative)
        normal += '-';
    normal += whole.empty() ? "0" : whole;
    normal += '.';
    normal += fraction.empty() ? "0" : fraction;
    if (!exponent.empty()) {
        normal += exponentNegative ? "e-" : "e";
        normal += exponent;
    }
    long double value = 0;
    const std::errc parsed = LongDoubleFromText(normal, value);
    if (parsed == std::errc())
        return value;
    if (parsed != std::errc::result_out_of_range)
        return std::nullopt;
    // Out of range either way: too large fails, too small is zero.
    const auto firstSignificant = whole.find_first_not_of('0');
    long long magnitude = 0;
    if (firstSignificant != std::string::npos) {
        magnitude = static_cast<long long>(whole.size() - firstSignificant) - 1;
    } else {
        const auto f = fraction.find_first_not_of('0');
        magnitude = -static_cast<long long>(f == std::string::npos ? 0 : f) - 1;
    }
    if (magnitude + SaturatedExponent(exponent, exponentNegative) < 0)
        return negative ? -0.0L : 0.0L;
    return std::nullopt;
}

std::optional<qint32> ParseIntegerText(QStringView text) {
    qsizetype i = SkipSpaces(text, 0);
    const qsizetype n = text.size();
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    bool hex = false;
    if (i < n && (text[i] == u'$' || text[i] == u'x' || text[i] == u'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < n && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X')) {
        hex = true;
        i += 2;
    }
    if (i == n)
        return std::nullopt;
    std::uint64_t magnitude = 0;
    if (hex) {
        for (; i < n; ++i) {
            const int d = HexDigitValue(text[i]);
            if (d < 0)
                return std::nullopt;
            magnitude = magnitude * 16 + d;
            if (magnitude > 0xFFFFFFFFu)
                return std::nullopt;
        }
        const auto bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<qint32>(negative ? 0u - bits : bits);
    }
    const std::uint64_t limit = negative ? 2147483648u : 2147483647u;
    for (; i < n; ++i) {
        if (!IsAsciiDigit(text[i]))
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i].unicode() - u'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    const auto value = static_cast<std::int64_t>(magnitude);
    return static_cast<qint32>(negative ? -value : value);
}

std::optional<qint32> ParseHexText(QStringView text) {
    QString prefixed(u'$');
    prefixed += text;
    return ParseIntegerText(prefixed);
}

long double TextToValue(QStringView text, TValueType type, long double minValue, QChar separator) {
    if (type == vtFloat)
        return ParseFloatText(text, separator).value_or(minValue);
    const auto parsed = type == vtHex ? ParseHexText(text) : ParseIntegerText(text);
    if (parsed)
        return *parsed;
    return std::trunc(minValue);
}

QString FormatFixed(long double value, int decimals, QChar separator) {
    if (value == 0 || std::isnan(value))
        return Zero(decimals, separator);
    DecimalExpansion d = Expand(value);
    if (d.exponent + 1 > 15 || std::isinf(value))
        return ExponentForm(d, separator);
    const DecimalExpansion unrounded = d;
    if (!RoundExpansion(d, std::min(15, d.exponent + 1 + decimals)))
        return Zero(decimals, separator);
    if (d.exponent + 1 > 15)
        return ExponentForm(unrounded, separator);
    // Rounding left zeros past the kept digits.
    auto digitAt = [&](int index) {
        return QChar(u'0' + (index >= 0 && index < 18 ? d.digits[index] : 0));
    };
    QString s;
    s.reserve(d.exponent + decimals + 4);
    if (d.negative)
        s += u'-';
    if (d.exponent < 0)
        s += u'0';
    for (int index = 0; index <= d.exponent; ++index)
        s += digitAt(index);
    if (decimals > 0) {
        s += separator;
        for (int place = 1; place <= decimals; ++place)
            s += digitAt(d.exponent + place);
    }
    return s;
}

QString FormatInteger(long double value) {
    const long double whole = RoundHalfEven(value);
    return WholeToDecimal(whole == 0 ? 0.0L : whole);
}

QString FormatHex(long double value) {
    const long double whole = RoundHalfEven(value);
    if (whole >= -2147483648.0L && whole < 4294967296.0L) {
        const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(whole));
        return QString::number(bits, 16).toUpper();
    }
    if (whole >= 0 && whole < 18446744073709551616.0L)
        return QString::number(static_cast<quint64>(whole), 16).toUpper();
    return MagnitudeToHex(whole);
}

std::optional<QString> ValueToText(long double value, TValueType type, int decimals,
                                   QChar separator) {
    if (!std::isfinite(value))
        return std::nullopt;
    switch (type) {
    case vtFloat:
        return FormatFixed(value, decimals, separator);
    case vtHex:
        return FormatHex(value);
    case vtInteger:
        break;
    }
    return FormatInteger(value);
}

long double ClampToLimits(long double x, long double minValue, long double maxValue) {
    if (minValue == maxValue)
        return x;
    if (x < minValue)
        return minValue;
    if (x > maxValue)
        return maxValue;
    return x;
}

long double RoundHalfEven(long double x) {
    if (!std::isfinite(x))
        return x;
    const long double below = std::floor(x);
    const long double fraction = x - below;
    if (fraction < 0.5L)
        return below;
    if (fraction > 0.5L)
        return below + 1;
    return std::fmod(below, 2.0L) == 0 ? below : below + 1;
}

qint32 TruncToInt32(long double x) {
    if (std::isnan(x))
        return 0;
    const long double t = std::trunc(x);
    if (t <= std::numeric_limits<qint32>::min())
        return std::numeric_limits<qint32>::min();
    if (t >= std::numeric_limits<qint32>::max())
        return std::numeric_limits<qint32>::max();
    return static_cast<qint32>(t);
}

bool IsAcceptedChar(QChar key, TValueType type, QStringView text, QChar separator,
                    bool editorEnabled) {
    const char16_t code = key.unicode();
    if (!editorEnabled)
        return code < 32 && code != 8;
    if (code < 32)
        return true;
    if (code == u'+' || code == u'-' || IsAsciiDigit(key))
        return true;
    if (type == vtFloat) {
        if (key == separator && !text.contains(separator))
            return true;
        if ((code == u'E' || code == u'e') && !text.contains(u'E', Qt::CaseInsensitive))
            return true;
    }
    if (type == vtHex)
        return HexDigitValue(key) >= 0 && !IsAsciiDigit(key);
    return false;
}

} // namespace numspin
