// The exchange thread never leaves its caller waiting on a unit that keeps a request: the request
// is answered as not answered once it has run too long, and what was asked after it still goes.

#include "unit/UnitExchange.h"
#include "hid/HidControllerClass.h"
#include "tests/support/EventLoop.h"
#include "tests/support/VirtualUnit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

constexpr int kLongStall = 60'000; // ms: longer than any test; ended by the test itself

class ExchangeThread : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.complete()) << "virtual unit modules not beside the test binary";
        control.Reset();
        controller = std::make_unique<THidDeviceController>(nullptr);
        testsupport::DeliverPosted(); // the first scan
        ASSERT_EQ(controller->DeviceCount(), 1);
        const THidPnPInfo& info = controller->DeviceAt(0)->InterfaceInfo();
        unit = {info.InterfacePath, info.InstanceHandle};
        exchange = std::make_unique<unit::TUnitExchange>();
        exchange->Clock = [this] { return now; };
    }
    void TearDown() override {
        control.SetStall(0, 0);
        exchange.reset();
        controller.reset();
    }

    virtualunit::VirtualUnitControl& control = testsupport::VirtualUnit();
    std::unique_ptr<THidDeviceController> controller;
    std::unique_ptr<unit::TUnitExchange> exchange;
    unit::TUnitAddress unit;
    std::chrono::steady_clock::time_point now{};
};

// Given up on, a request stays at the unit: nothing else is sent meanwhile, and the reads asked
// are answered at once as not answered; once the unit answers, requests go again.
TEST_F(ExchangeThread, ARequestTheUnitKeepsIsAnsweredAsNotAnsweredAndNothingElseGoesMeanwhile) {
    control.SetStall(0, kLongStall); // a stack without a timeout of its own, as far as we wait
    std::vector<unit::TUnitAnswer> answers;
    const auto keep = [&](const unit::TUnitAnswer& answer) { answers.push_back(answer); };
    exchange->Ask(unit, unit::TUnitRequest::Read, {}, {}, keep);
    exchange->Ask(unit, unit::TUnitRequest::Read, {}, {}, keep);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return control.StalledRequests() > 0; }));
    exchange->CheckDeadline(); // sees it running
    now += unit::TUnitExchange::kNoAnswerAfter - std::chrono::milliseconds(1);
    exchange->CheckDeadline();
    EXPECT_TRUE(answers.empty()) << "given up before its time";
    now += std::chrono::milliseconds(1);
    const int abandoned = unit::TUnitExchange::AbandonedRequests();
    exchange->CheckDeadline();
    ASSERT_EQ(answers.size(), 2u) << "the read behind it is not sent either";
    for (const unit::TUnitAnswer& answer : answers) {
        EXPECT_TRUE(answer.NoAnswer);
        EXPECT_FALSE(answer.Read);
        EXPECT_EQ(answer.Block, TDataBlock{});
    }
    EXPECT_EQ(unit::TUnitExchange::AbandonedRequests(), abandoned) << "its thread is kept";
    EXPECT_TRUE(exchange->Stalled());

    exchange->Ask(unit, unit::TUnitRequest::Read, {}, {}, keep);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !exchange->Busy(); }));
    ASSERT_EQ(answers.size(), 3u);
    EXPECT_TRUE(answers[2].NoAnswer);
    EXPECT_EQ(control.StalledRequests(), 1) << "a request went to a unit that still held one";
    now += std::chrono::hours(1);
    exchange->CheckDeadline();
    EXPECT_EQ(control.StalledRequests(), 1);

    control.SetStall(0, 0); // the unit answers the one it held, to nobody now
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !exchange->Stalled(); }));
    exchange->Ask(unit, unit::TUnitRequest::Read, {}, {}, keep);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !exchange->Busy(); }));
    ASSERT_EQ(answers.size(), 4u);
    EXPECT_TRUE(answers[3].Read);
    EXPECT_EQ(answers[3].Block[block::kScaleByte], 64);
}

// Presses made while the unit holds a request wait, each replacing the one before: the unit gets
// the last, once, after the one it held; never a burst.
TEST_F(ExchangeThread, PressesWaitBehindARequestGivenUpOnAndOnlyTheLastGoes) {
    control.SetStall(0, kLongStall);
    std::vector<std::uint8_t> answered;
    const auto press = [&](std::uint8_t command) {
        TDataBlock b{};
        b[block::kScaleByte] = 64;
        b[block::kCommand] = command;
        exchange->Ask(
            unit, unit::TUnitRequest::Send, b, {},
            [&answered, command](const unit::TUnitAnswer& answer) {
                if (!answer.NoAnswer)
                    answered.push_back(command);
            },
            true);
    };
    press(48);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return control.StalledRequests() > 0; }));
    exchange->CheckDeadline();
    now += unit::TUnitExchange::kNoAnswerAfter;
    exchange->CheckDeadline();
    ASSERT_TRUE(exchange->Stalled());
    control.ClearLog();
    for (std::uint8_t command : {49, 64, 65})
        press(command);
    testsupport::DeliverPosted();
    EXPECT_EQ(control.StalledRequests(), 1);
    EXPECT_TRUE(exchange->Busy()) << "the last press waits";

    control.SetStall(0, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !exchange->Busy(); }));
    const auto sent = testsupport::SentLog();
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].report[1 + block::kCommand], 48) << "the one the unit held";
    EXPECT_EQ(sent[1].report[1 + block::kCommand], 65) << "the last pressed";
    EXPECT_EQ(answered, std::vector<std::uint8_t>{65});
}

#ifdef __linux__
int ThreadsOfThisProcess() {
    int threads = 0;
    for ([[maybe_unused]] const auto& task : std::filesystem::directory_iterator("/proc/self/task"))
        ++threads;
    return threads;
}

// The watch's clock driven as a poll every 500 ms would see it: a unit stalled for an hour holds
// no more threads than one stalled for ten seconds.
TEST_F(ExchangeThread, AUnitStalledForAnHourHoldsNoMoreThreadsThanForTenSeconds) {
    control.SetStall(0, kLongStall);
    int afterTenSeconds = 0;
    const auto step = std::chrono::milliseconds(500);
    for (auto elapsed = std::chrono::milliseconds(0); elapsed <= std::chrono::hours(1);
         elapsed += step) {
        now = std::chrono::steady_clock::time_point{} + elapsed;
        exchange->CheckDeadline();
        testsupport::DeliverPosted();
        if (!exchange->Busy()) {
            // Until the read is answered, or is at the unit: the clock moves on only then.
            const int before = control.StalledRequests();
            exchange->Ask(unit, unit::TUnitRequest::Read, {}, {}, {});
            ASSERT_TRUE(testsupport::PumpUntil(
                [&] { return !exchange->Busy() || control.StalledRequests() > before; }));
        }
        if (elapsed == std::chrono::seconds(10))
            afterTenSeconds = ThreadsOfThisProcess();
    }
    EXPECT_LE(ThreadsOfThisProcess(), afterTenSeconds);
    EXPECT_TRUE(exchange->Stalled()) << "the unit held the first read all along";
    EXPECT_EQ(control.StalledRequests(), 1);
}
#endif

TEST_F(ExchangeThread, AWaitedForRequestTheUnitKeepsEndsTheWaitAsNotAnswered) {
    control.SetStall(0, kLongStall);
    int looks = 0;
    // The waiting caller looks at the watch itself; the clock moves on at every look.
    exchange->Clock = [&] {
        ++looks;
        return now + looks * unit::TUnitExchange::kNoAnswerAfter;
    };
    const unit::TUnitAnswer answer =
        exchange->AskAndWait(unit, unit::TUnitRequest::ReadBack, {}, {});
    EXPECT_TRUE(answer.NoAnswer);
    EXPECT_FALSE(answer.Read);
    EXPECT_FALSE(answer.Abandoned);
    // Until the unit answers the request it holds, nothing else is sent to it.
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {}).NoAnswer);
    EXPECT_EQ(control.StalledRequests(), 1);
    control.SetStall(0, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !exchange->Stalled(); }));
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {}).Read);
}

// Put back in its port, a unit may keep its node path and DevInst: the handle from before fails
// as unplugged, and stays so (on Linux the node might be another device's by now); the unit
// taken anew is reached through a handle of its own.
TEST_F(ExchangeThread, AUnitBackWithItsDevInstIsReachedOnceTakenAnew) {
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {}).Read);
    control.KeepDevInst(0, 1);
    ASSERT_EQ(control.Unplug(0), 0);
    ASSERT_EQ(control.Plug(0), 0);
    const unit::TUnitAnswer stale = exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {});
    EXPECT_FALSE(stale.Read);
    EXPECT_TRUE(stale.Gone);
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {}).Gone);
    unit.Taking += 1;
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {}).Read);
}

} // namespace

namespace {

// A unit that answers with a report other than the block's (its ID is not 0): the read fails,
// nothing of that report is taken as the block, and the read-back sends nothing back.
TEST_F(ExchangeThread, AnAnswerWithAnotherReportIdIsAFailedReadNeverSentBack) {
    control.SetAnswerReportId(0, 5);
    control.ClearLog();
    const unit::TUnitAnswer read = exchange->AskAndWait(unit, unit::TUnitRequest::Read, {}, {});
    EXPECT_FALSE(read.Read);
    EXPECT_FALSE(read.Answered);
    EXPECT_EQ(read.Block, TDataBlock{});
    ASSERT_EQ(read.Steps.size(), 1u);
    EXPECT_EQ(read.Steps[0].Result, unit::ExchangeResult::NotTheBlock);
    EXPECT_FALSE(read.Steps[0].Reason.isEmpty());

    const unit::TUnitAnswer back = exchange->AskAndWait(unit, unit::TUnitRequest::ReadBack, {}, {});
    EXPECT_FALSE(back.Read);
    EXPECT_EQ(back.Block, TDataBlock{});
    EXPECT_TRUE(testsupport::SentLog().empty()) << "a report that is not the block went back";

    control.SetAnswerReportId(0, 0);
    EXPECT_TRUE(exchange->AskAndWait(unit, unit::TUnitRequest::ReadBack, {}, {}).Read);
    EXPECT_EQ(testsupport::SentLog().size(), 2u);
}

} // namespace
