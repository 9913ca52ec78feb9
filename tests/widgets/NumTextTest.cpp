#include "widgets/NumText.h"
#include "LocaleScope.h"

#include <QLocale>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace numspin;
using widgettest::LocaleScope;

namespace {

const QChar kStop(u'.');
const QChar kComma(u',');

std::optional<long double> F(const char* text, QChar separator = kStop) {
    return ParseFloatText(QString::fromUtf8(text), separator);
}

std::optional<qint32> I(const char* text) {
    return ParseIntegerText(QString::fromUtf8(text));
}
std::optional<qint32> H(const char* text) {
    return ParseHexText(QString::fromUtf8(text));
}

} // namespace

TEST(NumText, SeparatorFollowsTheDefaultLocale) {
    {
        LocaleScope ru("ru_RU");
        EXPECT_EQ(DecimalSeparator(), kComma);
    }
    {
        LocaleScope c("C");
        EXPECT_EQ(DecimalSeparator(), kStop);
    }
    LocaleScope us("en_US");
    EXPECT_EQ(DecimalSeparator(), kStop);
}

TEST(NumText, FloatAcceptsTheDocumentedShapes) {
    EXPECT_EQ(F("1.5"), 1.5L);
    EXPECT_EQ(F("  -1.5  "), -1.5L);
    EXPECT_EQ(F("+2"), 2.0L);
    EXPECT_EQ(F("1,5", kComma), 1.5L);
    EXPECT_EQ(F(".5"), 0.5L);
    EXPECT_EQ(F("5."), 5.0L);
    EXPECT_EQ(F("."), 0.0L);
    EXPECT_EQ(F(",", kComma), 0.0L);
    EXPECT_EQ(F("-."), 0.0L);
    EXPECT_EQ(F("1E3"), 1000.0L);
    EXPECT_EQ(F("25e-2"), 0.25L);
    EXPECT_EQ(F("1,5e+1", kComma), 15.0L);
    EXPECT_EQ(F("7e"), 7.0L) << "an exponent mark without digits is exponent 0";
    EXPECT_EQ(F("7e-"), 7.0L);
    EXPECT_EQ(F("0.01"), 0.01L) << "the full 64-bit mantissa, not a double";
    EXPECT_EQ(F("1e4932").has_value(), true);
    EXPECT_EQ(F("1e-99999"), 0.0L) << "too small reads as zero";
    EXPECT_EQ(F("00000000000000000000000000000000000001.25"), 1.25L);
}

TEST(NumText, FloatRefusesEverythingElse) {
    for (const char* bad :
         {"",     " ",   "+",   "-",     "e5",       "E",       "1.2.3",
          "1 2",  "\t1", "1\t", "1e5x",  "1e2.5",    "inf",     "nan",
          "0x10", "1,5", "--1", "1e5e5", "1.5e4932", "1e99999", "\xef\xbc\x91" /* fullwidth one */})
        EXPECT_FALSE(F(bad).has_value()) << bad;
    EXPECT_FALSE(F("1.5", kComma).has_value()) << "the full stop is no separator under a comma";
}

TEST(NumText, IntegerAcceptsDecimalAndPrefixedHex) {
    EXPECT_EQ(I("12"), 12);
    EXPECT_EQ(I("   -12"), -12);
    EXPECT_EQ(I("+7"), 7);
    EXPECT_EQ(I("2147483647"), 2147483647);
    EXPECT_EQ(I("-2147483648"), std::numeric_limits<qint32>::min());
    EXPECT_EQ(I("$FF"), 255);
    EXPECT_EQ(I("x10"), 16);
    EXPECT_EQ(I("X10"), 16);
    EXPECT_EQ(I("0x1f"), 31);
    EXPECT_EQ(I("0X1F"), 31);
    EXPECT_EQ(I("-$10"), -16);
    EXPECT_EQ(I("$FFFFFFFF"), -1) << "hex is 32-bit two's complement";
    EXPECT_EQ(I("007"), 7);
    for (const char* bad :
         {"", " ", "-", "+", "12 ", "1.5", "2147483648", "-2147483649", "$", "0x", "$100000000",
          "$G", "1e3", "99999999999999999999", "\xd9\xa1" /* arabic-indic one */})
        EXPECT_FALSE(I(bad).has_value()) << bad;
}

TEST(NumText, HexIsBareHexDigits) {
    EXPECT_EQ(H("ff"), 255);
    EXPECT_EQ(H("Ab"), 0xAB);
    EXPECT_EQ(H("FFFFFFFF"), -1);
    EXPECT_EQ(H("80000000"), std::numeric_limits<qint32>::min());
    for (const char* bad : {"", " 1", "1 ", "$1", "-1", "+1", "0x1", "x1", "G", "100000000"})
        EXPECT_FALSE(H(bad).has_value()) << bad;
}

TEST(NumText, FailedReadsFallBackToTheLowerLimit) {
    EXPECT_EQ(TextToValue(u"", vtFloat, 0.01L, kStop), 0.01L);
    EXPECT_EQ(TextToValue(u"abc", vtInteger, 1.9L, kStop), 1.0L) << "truncated";
    EXPECT_EQ(TextToValue(u"abc", vtInteger, -1.9L, kStop), -1.0L) << "toward zero";
    EXPECT_EQ(TextToValue(u"zz", vtHex, 5.5L, kStop), 5.0L);
    EXPECT_EQ(TextToValue(u"12.5", vtInteger, 0, kStop), 0.0L);
    EXPECT_EQ(TextToValue(u"300", vtInteger, 1, kStop), 300.0L) << "reading never clamps";
    EXPECT_EQ(TextToValue(u"10", vtHex, 0, kStop), 16.0L);
}

TEST(NumText, FixedPointRoundsHalfAwayFromZeroOnTheDecimalExpansion) {
    EXPECT_EQ(FormatFixed(4, 2, kStop), "4.00");
    EXPECT_EQ(FormatFixed(0.01L, 2, kStop), "0.01");
    EXPECT_EQ(FormatFixed(0.125L, 2, kStop), "0.13");
    EXPECT_EQ(FormatFixed(1.2345L, 2, kStop), "1.23");
    EXPECT_EQ(FormatFixed(1.005L, 2, kStop), "1.01") << "1.005 is 1.00500000000000000 to 18 digits";
    EXPECT_EQ(FormatFixed(2.5L, 0, kStop), "3");
    EXPECT_EQ(FormatFixed(-2.5L, 0, kStop), "-3");
    EXPECT_EQ(FormatFixed(0.005L, 2, kStop), "0.01");
    EXPECT_EQ(FormatFixed(-0.005L, 2, kStop), "-0.01");
    EXPECT_EQ(FormatFixed(9.995L, 2, kStop), "10.00") << "carry into a new digit";
    EXPECT_EQ(FormatFixed(0.5L, 0, kStop), "1");
    EXPECT_EQ(FormatFixed(0.4L, 0, kStop), "0");
    EXPECT_EQ(FormatFixed(12345, 1, kStop), "12345.0");
    EXPECT_EQ(FormatFixed(-1.5L, 2, kComma), "-1,50");
    EXPECT_EQ(FormatFixed(0.05L, 1, kComma), "0,1");
}

TEST(NumText, FixedPointZeroHasNoSign) {
    EXPECT_EQ(FormatFixed(0, 2, kStop), "0.00");
    EXPECT_EQ(FormatFixed(-0.0L, 2, kStop), "0.00");
    EXPECT_EQ(FormatFixed(-0.001L, 2, kStop), "0.00");
    EXPECT_EQ(FormatFixed(-0.4L, 0, kStop), "0");
    EXPECT_EQ(FormatFixed(1e-300L, 3, kStop), "0.000");
}

TEST(NumText, FixedPointKeepsFifteenSignificantDigits) {
    EXPECT_EQ(FormatFixed(123456789.123456789L, 9, kStop), "123456789.123457000");
    EXPECT_EQ(FormatFixed(1.0L / 3, 20, kStop), "0.33333333333333300000");
    EXPECT_EQ(FormatFixed(999999999999999.0L, 2, kStop), "999999999999999.00");
    EXPECT_EQ(FormatFixed(0.1L, 20, kStop), "0.10000000000000000000");
    EXPECT_EQ(FormatFixed(5, 255, kStop).size(), 257);
}

TEST(NumText, FixedPointSwitchesToExponentPastFifteenIntegerDigits) {
    EXPECT_EQ(FormatFixed(1e15L, 2, kStop), "1E+15");
    EXPECT_EQ(FormatFixed(-1.5e20L, 2, kComma), "-1,5E+20");
    EXPECT_EQ(FormatFixed(123456789012345678.0L, 0, kStop), "1.23456789012346E+17");
    EXPECT_EQ(FormatFixed(999999999999999.5L, 0, kStop), "1E+15") << "rounding made 16 digits";
    EXPECT_EQ(FormatFixed(std::numeric_limits<long double>::max(), 2, kStop),
              "1.18973149535723E+4932");
}

TEST(NumText, IntegersRoundHalfToEven) {
    EXPECT_EQ(FormatInteger(2.5L), "2");
    EXPECT_EQ(FormatInteger(3.5L), "4");
    EXPECT_EQ(FormatInteger(-2.5L), "-2");
    EXPECT_EQ(FormatInteger(-0.4L), "0");
    EXPECT_EQ(FormatInteger(2.5000001L), "3");
    EXPECT_EQ(FormatInteger(-2147483648.0L), "-2147483648");
    EXPECT_EQ(FormatInteger(1e20L), "100000000000000000000");
}

TEST(NumText, HexWritesUpperCaseWithoutPrefix) {
    EXPECT_EQ(FormatHex(255), "FF");
    EXPECT_EQ(FormatHex(0), "0");
    EXPECT_EQ(FormatHex(254.5L), "FE");
    EXPECT_EQ(FormatHex(255.5L), "100");
    EXPECT_EQ(FormatHex(4294967295.0L), "FFFFFFFF");
    EXPECT_EQ(FormatHex(4294967296.0L), "100000000");
    EXPECT_EQ(FormatHex(-1), "FFFFFFFF") << "negative numbers read back";
    EXPECT_EQ(ParseHexText(FormatHex(-123456)), -123456);
    EXPECT_EQ(FormatHex(0x1p70L), "400000000000000000");
    EXPECT_EQ(FormatHex(-0x1p70L), "-400000000000000000");
}

TEST(NumText, NonFiniteNumbersHaveNoText) {
    const long double inf = std::numeric_limits<long double>::infinity();
    for (TValueType type : {vtInteger, vtFloat, vtHex}) {
        EXPECT_FALSE(ValueToText(inf, type, 2, kStop).has_value());
        EXPECT_FALSE(ValueToText(-inf, type, 2, kStop).has_value());
        EXPECT_FALSE(ValueToText(std::nanl(""), type, 2, kStop).has_value());
        EXPECT_TRUE(ValueToText(1, type, 2, kStop).has_value());
    }
}

TEST(NumText, WrittenTextsReadBackAsWritten) {
    const long double samples[] = {0,    1,     -1,        0.01L,  3.99L,          4,
                                   255,  1e14L, -123.456L, 1e300L, -2147483648.0L, 2147483647.0L,
                                   1e-5L};
    for (QChar separator : {kStop, kComma}) {
        for (long double v : samples) {
            const QString fixed = FormatFixed(v, 3, separator);
            const auto back = ParseFloatText(fixed, separator);
            ASSERT_TRUE(back.has_value()) << fixed.toStdString();
            EXPECT_EQ(FormatFixed(*back, 3, separator), fixed);
            const QString whole = FormatInteger(v);
            if (std::fabs(v) < 2147483647.0L) {
                EXPECT_EQ(ParseIntegerText(whole), RoundHalfEven(v)) << whole.toStdString();
            }
        }
    }
}

TEST(NumText, ClampTreatsEqualLimitsAsNone) {
    EXPECT_EQ(ClampToLimits(1e30L, 0, 0), 1e30L);
    EXPECT_EQ(ClampToLimits(-5, 3, 3), -5.0L);
    EXPECT_EQ(ClampToLimits(300, 1, 255), 255.0L);
    EXPECT_EQ(ClampToLimits(0, 0.01L, 4), 0.01L);
    EXPECT_EQ(ClampToLimits(2, 1, 255), 2.0L);
    // Inverted limits: the lower one is tested first.
    EXPECT_EQ(ClampToLimits(3, 5, 1), 5.0L);
    EXPECT_EQ(ClampToLimits(10, 5, 1), 1.0L);
}

TEST(NumText, RoundingAndTruncation) {
    EXPECT_EQ(RoundHalfEven(0.5L), 0.0L);
    EXPECT_EQ(RoundHalfEven(1.5L), 2.0L);
    EXPECT_EQ(RoundHalfEven(-1.5L), -2.0L);
    EXPECT_EQ(RoundHalfEven(0.4L), 0.0L);
    EXPECT_EQ(RoundHalfEven(2.6L), 3.0L);
    EXPECT_EQ(TruncToInt32(2.99L), 2);
    EXPECT_EQ(TruncToInt32(-2.99L), -2);
    EXPECT_EQ(TruncToInt32(1e10L), std::numeric_limits<qint32>::max());
    EXPECT_EQ(TruncToInt32(-1e10L), std::numeric_limits<qint32>::min());
    EXPECT_EQ(TruncToInt32(std::nanl("")), 0);
}

TEST(NumText, KeyFilterByKind) {
    auto ok = [](char16_t key, TValueType type, const char16_t* text, QChar sep = kStop) {
        return IsAcceptedChar(QChar(key), type, QStringView(text), sep, true);
    };
    for (char16_t key : {u'0', u'9', u'+', u'-', u'\b', u'\r', u'\x1b', u'\x01'})
        for (TValueType type : {vtInteger, vtFloat, vtHex})
            EXPECT_TRUE(ok(key, type, u"12")) << int(key);
    EXPECT_FALSE(ok(u'a', vtInteger, u""));
    EXPECT_FALSE(ok(u'.', vtInteger, u""));
    EXPECT_FALSE(ok(u' ', vtInteger, u""));
    EXPECT_TRUE(ok(u'a', vtHex, u""));
    EXPECT_TRUE(ok(u'F', vtHex, u""));
    EXPECT_FALSE(ok(u'g', vtHex, u""));
    EXPECT_TRUE(ok(u'.', vtFloat, u"12"));
    EXPECT_FALSE(ok(u'.', vtFloat, u"1.2")) << "a second separator";
    EXPECT_FALSE(ok(u',', vtFloat, u"12")) << "not this locale's separator";
    EXPECT_TRUE(ok(u',', vtFloat, u"12", kComma));
    EXPECT_FALSE(ok(u',', vtFloat, u"1,2", kComma));
    EXPECT_FALSE(ok(u'.', vtFloat, u"12", kComma));
    EXPECT_TRUE(ok(u'e', vtFloat, u"12"));
    EXPECT_FALSE(ok(u'E', vtFloat, u"1e2")) << "a second exponent mark, either case";
    EXPECT_FALSE(ok(u'e', vtFloat, u"1E2"));
    EXPECT_FALSE(ok(u'a', vtFloat, u""));
    EXPECT_FALSE(ok(0x0660, vtInteger, u"")) << "digits of other scripts";
}

TEST(NumText, KeyFilterWithTheEditorDisabled) {
    auto ok = [](char16_t key) { return IsAcceptedChar(QChar(key), vtFloat, u"", kStop, false); };
    for (char16_t key : {u'0', u'-', u'.', u'e', u' ', u'\b', u'\x7f'})
        EXPECT_FALSE(ok(key)) << int(key);
    for (char16_t key : {u'\r', u'\x1b', u'\x03', u'\x01'})
        EXPECT_TRUE(ok(key)) << int(key);
}
