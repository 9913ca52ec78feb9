// The block's exchange tells a unit that did not answer in time from one that refused.

#include "unit/Exchange.h"
#include "hid/HidControllerClass.h"
#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <memory>

namespace {

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.complete()) << "virtual unit modules not beside the test binary";
        control.Reset();
        controller = std::make_unique<THidDeviceController>(nullptr);
        QCoreApplication::sendPostedEvents(); // the first scan
        THidDevice* device = nullptr;
        ASSERT_TRUE(controller->CheckOutAt(0, device));
        unit.reset(device);
    }
    void TearDown() override {
        control.SetStall(0, 0);
        unit.reset();
        controller.reset();
    }

    virtualunit::VirtualUnitControl& control = testsupport::VirtualUnit();
    std::unique_ptr<THidDeviceController> controller;
    std::unique_ptr<THidDevice> unit;
    TDataBlock data{};
    TReportBuffer report{};
};

TEST_F(Exchange, AStalledUnitIsNoAnswerARefusingOneAFailure) {
    using unit::ExchangeResult;
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::Answered);
    EXPECT_EQ(data[block::kScaleByte], 64);
    EXPECT_EQ(unit::Send(*unit, data, report), ExchangeResult::Answered);

    control.SetStall(0, 5);
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::NoAnswer);
    EXPECT_EQ(data, TDataBlock{}) << "a read the unit did not answer leaves the block all zero";
    EXPECT_EQ(unit::Send(*unit, data, report), ExchangeResult::NoAnswer);
    EXPECT_FALSE(unit::ReadBlock(*unit, report, data));

    control.SetStall(0, 0);
    control.SetFailures(0, 1, 1);
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::Failed);
    EXPECT_EQ(unit::Send(*unit, data, report), ExchangeResult::Failed);

    control.SetFailures(0, 0, 0);
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::Answered);
    control.Unplug(0);
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::Failed)
        << "an unplugged unit is gone, not silent";
}

} // namespace
