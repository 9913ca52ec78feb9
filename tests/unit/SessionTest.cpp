// The session's guard over what reaches the unit: a command goes out only once the unit's
// parameters have been read back, on the block it gave last, and a save not at all once the
// unit's scale differs from the read-back's.

#include "unit/Session.h"
#include "tests/support/EventLoop.h"
#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using testsupport::BlockOf;

class Session : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.complete()) << "virtual unit modules not beside the test binary";
        control.Reset();
        testsupport::DeliverPosted();
        session = std::make_unique<unit::TUnitSession>();
        session->Rescan();
        ASSERT_TRUE(session->Hold());
        control.ClearLog();
    }
    void TearDown() override {
        session.reset();
        control.Reset();
    }

    // A block with thresholds 100 and 230 at `scale`, every other byte distinct.
    static TDataBlock UnitBlock(std::uint8_t scale) {
        TDataBlock b{};
        for (int i = 0; i < block::kBlockSize; ++i)
            b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 5 + 2);
        b[block::kThreshold0] = 100;
        b[block::kThreshold1] = 230;
        b[block::kScaleByte] = scale;
        return b;
    }
    static bool Sent(const unit::TUnitAnswer& answer) {
        return !answer.Steps.empty() &&
               answer.Steps.back().Result == unit::ExchangeResult::Answered;
    }

    virtualunit::VirtualUnitControl& control = testsupport::VirtualUnit();
    std::unique_ptr<unit::TUnitSession> session;
};

TEST_F(Session, ACommandGoesOutOnlyAfterAReadBackOnTheBlockTheUnitGaveLast) {
    control.SetFixedBlock(0, UnitBlock(64).data());
    EXPECT_FALSE(Sent(session->Command(cmd_save_eeprom, {})));
    ASSERT_TRUE(session->Read().Read);
    const unit::TUnitAnswer refused = session->Command(cmd_os1_test_0, {});
    EXPECT_FALSE(Sent(refused));
    ASSERT_EQ(refused.Steps.size(), 1u);
    EXPECT_TRUE(refused.Steps[0].Reason.contains("read back"))
        << refused.Steps[0].Reason.toStdString();
    EXPECT_TRUE(testsupport::SentLog().empty()) << "a command went around the read-back";

    ASSERT_TRUE(session->ReadBack().Read);
    control.ClearLog();
    unit::TParameterChange change;
    change.Values[1] = 0.5L; // threshold 0: 29.09 counts at scale 64
    ASSERT_TRUE(Sent(session->Command(cmd_save_eeprom, change)));
    const auto sent = testsupport::SentLog();
    ASSERT_EQ(sent.size(), 1u);
    TDataBlock expected = UnitBlock(64);
    expected[block::kThreshold0] = 29;
    expected[block::kCommand] = cmd_save_eeprom;
    EXPECT_EQ(BlockOf(sent[0]), expected);
}

TEST_F(Session, ASaveWaitsForAnotherReadBackOnceTheUnitsScaleHasChanged) {
    control.SetFixedBlock(0, UnitBlock(64).data());
    ASSERT_TRUE(session->ReadBack().Read);
    control.SetFixedBlock(0, UnitBlock(128).data());
    ASSERT_TRUE(session->Read().Read);
    EXPECT_TRUE(session->ScaleChangedSinceReadBack());
    control.ClearLog();
    const unit::TUnitAnswer refused = session->Command(cmd_save_eeprom, {});
    EXPECT_FALSE(Sent(refused));
    EXPECT_TRUE(refused.Steps.at(0).Reason.contains("scale changed from 64 to 128"))
        << refused.Steps.at(0).Reason.toStdString();
    unit::TParameterChange change;
    change.Values[3] = 9;
    EXPECT_FALSE(Sent(session->Command(cmd_normal, change))) << "a change is a save too";
    EXPECT_TRUE(testsupport::SentLog().empty());
    EXPECT_TRUE(Sent(session->Command(cmd_os1_test_0, {}))) << "a test changes no parameter";

    ASSERT_TRUE(session->ReadBack().Read);
    EXPECT_FALSE(session->ScaleChangedSinceReadBack());
    control.ClearLog();
    ASSERT_TRUE(Sent(session->Command(cmd_save_eeprom, {})));
    TDataBlock expected = UnitBlock(128);
    expected[block::kCommand] = cmd_save_eeprom;
    EXPECT_EQ(BlockOf(testsupport::SentLog().at(0)), expected)
        << "100 / 230 as the unit holds them";
}

} // namespace
