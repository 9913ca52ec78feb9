// The parameter fields loaded from a read-back and saved unedited: every byte goes back as the
// unit's own, at every scale and every count, though the fields show the volts rounded.

#include "app/ParameterFields.h"
#include "app/Unit1.h"
#include "unit/Parameters.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ParameterFields : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TTarvenik_Control_Form>(
            nullptr, TTarvenik_Control_Form::TUnitStart::AfterFirstFrame);
        fields = {form->SpinEdit35, form->SpinEdit36, form->SpinEdit37, form->SpinEdit38,
                  form->SpinEdit39};
    }

    std::unique_ptr<TTarvenik_Control_Form> form;
    parameterfields::TFields fields{};
};

TEST_F(ParameterFields, AnUneditedSaveWritesEveryByteBackAtEveryScale) {
    int changed = 0;
    for (int scale = 1; scale <= 255; ++scale) {
        for (int count = 0; count < 128; ++count) {
            TDataBlock unit{};
            unit[block::kScaleByte] = static_cast<std::uint8_t>(scale);
            unit[block::kThreshold0] = static_cast<std::uint8_t>(count);
            unit[block::kThreshold1] = static_cast<std::uint8_t>(count + 128);
            // The counts are the same at every scale: each of them once, at the first.
            unit[block::kPollPeriod] = 20;
            unit[block::kOs2Length] = 30;
            unit[block::kOs2Delay] = 7;
            if (scale == 1) {
                unit[block::kPollPeriod] = static_cast<std::uint8_t>(count);
                unit[block::kOs2Length] = static_cast<std::uint8_t>(count + 128);
                unit[block::kOs2Delay] = static_cast<std::uint8_t>(255 - count);
            }
            const parameterfields::TTexts shown = parameterfields::Load(fields, unit);
            TDataBlock saved = unit;
            unit::ApplyParameters(parameterfields::Edited(fields, shown), saved);
            if (saved != unit && ++changed <= 3)
                ADD_FAILURE() << "scale " << scale << ", counts " << count << " and " << count + 128
                              << " saved as " << int(saved[block::kThreshold0]) << " and "
                              << int(saved[block::kThreshold1]);
        }
    }
    EXPECT_EQ(changed, 0) << "blocks of 32640 changed by an unedited save";
}

// An edited field is written, at the unit's scale; the others stay the unit's, even where they
// show a value the byte does not hold (a poll period of 0 shown as 1, an OS2 delay of 2 as 5).
TEST_F(ParameterFields, OnlyWhatTheUserChangedIsWritten) {
    TDataBlock unit{};
    unit[block::kScaleByte] = 200;
    unit[block::kPollPeriod] = 0;
    unit[block::kThreshold0] = 50;
    unit[block::kThreshold1] = 255; // 1.40 V at scale 200
    unit[block::kOs2Delay] = 2;
    const parameterfields::TTexts shown = parameterfields::Load(fields, unit);
    EXPECT_EQ(form->SpinEdit35->text(), "1");
    EXPECT_EQ(form->SpinEdit39->text(), "5");
    form->SpinEdit37->setText("1.00");
    TDataBlock saved = unit;
    unit::ApplyParameters(parameterfields::Edited(fields, shown), saved);
    TDataBlock expected = unit;
    expected[block::kThreshold1] = 182; // 181.8 counts
    EXPECT_EQ(saved, expected);

    form->SpinEdit37->setText(shown[2]); // typed back as it was: unedited again
    saved = unit;
    unit::ApplyParameters(parameterfields::Edited(fields, shown), saved);
    EXPECT_EQ(saved, unit);
}

} // namespace
