// Conversions between raw bytes and volts, the scale byte, clearing, and the number texts.

#include "app/DataBlock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(DataBlock, ClearBytesClearsUpToTheLastIndexInclusive) {
    std::uint8_t buffer[6] = {1, 2, 3, 4, 5, 6};
    clear_bytes(buffer, 3);
    EXPECT_EQ(buffer[0], 0);
    EXPECT_EQ(buffer[3], 0);
    EXPECT_EQ(buffer[4], 5);
    EXPECT_EQ(buffer[5], 6);
    buffer[0] = 9;
    clear_bytes(buffer, -1); // clears nothing
    EXPECT_EQ(buffer[0], 9);
    clear_bytes(buffer, 0);
    EXPECT_EQ(buffer[0], 0);
}

TEST(DataBlock, ScaleByteZeroStandsFor64) {
    EXPECT_EQ(ScaleFromByte(0), 64);
    EXPECT_EQ(ScaleFromByte(1), 1);
    EXPECT_EQ(ScaleFromByte(64), 64);
    EXPECT_EQ(ScaleFromByte(255), 255);
}

TEST(DataBlock, RawToVoltsMultipliesFirstInExtendedPrecision) {
    EXPECT_EQ(RawToVolts(10, 64), 10 * 1.1L / 64);
    EXPECT_EQ(RawToVolts(255, 64), 255 * 1.1L / 64); // about 4.383 V
    EXPECT_NEAR(static_cast<double>(RawToVolts(255, 64)), 4.3828125, 1e-12);
    EXPECT_EQ(RawToVolts(7, 1), 7 * 1.1L); // scale 1: every count is 1.1 V
    EXPECT_EQ(RawToVolts(0, 200), 0.0L);
    // No scale read yet: the default scale rather than a division by zero.
    EXPECT_EQ(RawToVolts(10, 0), RawToVolts(10, 64));
}

TEST(DataBlock, VoltsToRawRoundsToTheNearestCountAndStaysInAByte) {
    // A threshold read, shown with two decimals and saved unedited keeps its count.
    EXPECT_EQ(VoltsToRaw(0.17L, 64), 10); // raw 10 reads 0.171875 V, shown 0.17
    EXPECT_EQ(VoltsToRaw(0.19L, 64), 11);
    EXPECT_EQ(VoltsToRaw(0.01L, 64), 1); // the field's smallest value
    EXPECT_EQ(VoltsToRaw(4.00L, 64), 233);
    EXPECT_EQ(VoltsToRaw(1.1L * 2.6L, 1), 3);
    EXPECT_EQ(VoltsToRaw(1.1L * 2.4L, 1), 2);
    // Too high for a byte: 255, not the low 8 bits.
    EXPECT_EQ(VoltsToRaw(4.00L, 71), 255); // 258.2 counts
    EXPECT_EQ(VoltsToRaw(4.00L, 255), 255);
    EXPECT_EQ(VoltsToRaw(1000.0L, 64), 255);
    // Nothing below zero, and nonsense reads as 0.
    EXPECT_EQ(VoltsToRaw(-1.0L, 64), 0);
    EXPECT_EQ(VoltsToRaw(std::numeric_limits<long double>::quiet_NaN(), 64), 0);
    EXPECT_EQ(VoltsToRaw(1.0L, 0), 0);
}

TEST(DataBlock, EveryCountShownWithTwoDecimalsSurvivesASaveAtTheUsualScale) {
    for (int scaleValue : {64, 100, 110}) {
        for (int raw = 0; raw <= 255; ++raw) {
            // What the field shows: two decimals.
            const long double shown =
                std::round(RawToVolts(static_cast<std::uint8_t>(raw), scaleValue) * 100) / 100;
            EXPECT_EQ(VoltsToRaw(shown, scaleValue), raw) << "scale " << scaleValue;
        }
    }
}

TEST(DataBlock, NumberTextsUseTheLocalesSeparatorAndRoundTheExactValue) {
    const QLocale c = QLocale::c();
    const QLocale ru(QLocale::Russian, QLocale::Russia);
    EXPECT_EQ(PrintfFixed(0.171875L, 2, c), "0.17");
    EXPECT_EQ(PrintfFixed(0.171875L, 2, ru), "0,17");
    EXPECT_EQ(PrintfFixed(0.0L, 1, c), "0.0");
    EXPECT_EQ(PrintfFixed(280.5L, 2, c), "280.50");
    // 16 x 1.1 / 64 lies a hair above 0.275 in extended precision, so it rounds up.
    EXPECT_EQ(PrintfFixed(RawToVolts(16, 64), 2, c), "0.28");
    EXPECT_EQ(VoltText1(RawToVolts(58, 64), c), "1.0 В");
    EXPECT_EQ(VoltText1(RawToVolts(145, 64), ru), "2,5 В");
    EXPECT_EQ(VoltText2(RawToVolts(26, 64), c), "0.45 В");
    EXPECT_EQ(VoltText2(RawToVolts(255, 64), ru), "4,38 В");
    EXPECT_EQ(VoltText2(RawToVolts(255, 1), c), "280.50 В");
}

TEST(DataBlock, CommandCodesFollowTheSelector) {
    EXPECT_EQ(kSelectorCommands, (std::array<std::uint8_t, 8>{0, 1, 2, 32, 48, 49, 64, 65}));
}
