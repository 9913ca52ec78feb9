// The block's exchange tells a unit that did not answer in time from one that refused.

#include "unit/Exchange.h"
#include "hid/HidControllerClass.h"
#include "tests/support/VirtualUnit.h"
#include "unit/Identity.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

#include <atomic>
#include <memory>
#include <thread>

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

// The block goes in one feature report of 252 bytes: a collection with a shorter one is no unit
// to exchange with, and says why; the virtual unit's is long enough.
TEST_F(Exchange, AFeatureReportTooShortForTheBlockIsRefusedWithItsReason) {
    HIDP_CAPS caps{};
    caps.FeatureReportByteLength = 65;
    EXPECT_EQ(unit::BlockCarriageProblem(caps),
              "its feature report holds 65 bytes, the unit's block needs 252");
    caps.FeatureReportByteLength = 0; // capabilities that could not be read
    EXPECT_FALSE(unit::BlockCarriageProblem(caps).isEmpty());
    caps.FeatureReportByteLength = 252;
    EXPECT_TRUE(unit::BlockCarriageProblem(caps).isEmpty());

    unit->QueryCapabilities(caps);
    EXPECT_EQ(caps.FeatureReportByteLength, 252);
    EXPECT_TRUE(unit::IsTarvenikUnit(*unit));
}

TEST_F(Exchange, AStalledUnitIsNoAnswerARefusingOneAFailure) {
    using unit::ExchangeResult;
    EXPECT_EQ(unit::Read(*unit, report, data), ExchangeResult::Answered);
    EXPECT_EQ(data[block::kScaleByte], 64);
    EXPECT_EQ(unit::Send(*unit, data, report), ExchangeResult::Answered);

#ifndef _WIN32
    // A stack with a transfer timeout of its own (Linux's) ends a stalled request with it: no
    // answer. (Windows' waits on, and the exchange thread's watch gives up: UnitExchangeTest.)
    control.SetStall(0, 1);
    std::atomic<bool> done{false};
    ExchangeResult read = ExchangeResult::Answered, sent = ExchangeResult::Answered;
    bool blockRead = true;
    std::thread caller([&] {
        read = unit::Read(*unit, report, data);
        sent = unit::Send(*unit, data, report);
        blockRead = unit::ReadBlock(*unit, report, data);
        done = true;
    });
    while (!done) {
        if (control.StalledRequests() > 0)
            control.TimeOutStalled(0);
        std::this_thread::yield();
    }
    caller.join();
    EXPECT_EQ(read, ExchangeResult::NoAnswer);
    EXPECT_EQ(data, TDataBlock{}) << "a read the unit did not answer leaves the block all zero";
    EXPECT_EQ(sent, ExchangeResult::NoAnswer);
    EXPECT_FALSE(blockRead);
    control.SetStall(0, 0);
#endif

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
