// The right axis's live value beside the oscillogram: on its value's row, never over the axis's
// "0" label.

#include "app/Design.h"
#include "app/Oscillogram.h"

#include <gtest/gtest.h>

TEST(SignalLabel, IsCentredOnItsRowButNeverCoversTheAxisZero) {
    // The window's own places: sig_Label 13 pixels high, the "0" of the right axis at 248.
    const int height = design::Control("sig_Label").Height;
    const int zeroTop = design::Control("Label6").Top;
    ASSERT_EQ(height, 13);
    ASSERT_EQ(zeroTop, 248);
    EXPECT_EQ(oscillogram::SignalLabelTop(100, height, zeroTop), 149);
    EXPECT_EQ(oscillogram::SignalLabelTop(14, height, zeroTop), 235);
    // Lower values would cover it (a silent OS2 reads 0: "0,0" over "0"); just above it instead.
    EXPECT_EQ(oscillogram::SignalLabelTop(13, height, zeroTop), 235);
    EXPECT_EQ(oscillogram::SignalLabelTop(0, height, zeroTop), 235);
    for (int raw = 0; raw <= 255; ++raw) {
        const int top = oscillogram::SignalLabelTop(raw, height, zeroTop);
        const int centred = 255 - raw - height / 2;
        EXPECT_LE(top + height, zeroTop) << raw;
        if (centred + height <= zeroTop) {
            EXPECT_EQ(top, centred) << raw;
        }
    }
}
