// A unit that stops answering: the window never waits on it, says so, drops what comes too late,
// and takes up the data again when the unit answers.

#include "PanelTestSupport.h"

#include <chrono>

using namespace paneltest;
using testsupport::kSet;

namespace {

const QString kSilent = QStringLiteral("Устройство не отвечает :(");
const QString kDetected = QStringLiteral("Устройство обнаруженно :)");
constexpr int kLongStall = 60'000; // ms: longer than any test; ended by the test itself

class SilentUnit : public PanelTest {
protected:
    void TearDown() override {
        Unit().SetStall(0, 0);
        PanelTest::TearDown();
    }

    // Until `count` requests wait in the unit's stall, the one asked last among them.
    void WaitUntilStalled(int count = 1) {
        ASSERT_TRUE(testsupport::PumpUntil([&] { return Unit().StalledRequests() >= count; }));
    }
    // The window's watch over a long request gives up on the one waiting, as its clock says it
    // has waited long enough; with `stall` 0 the unit then answers again (too late for it).
    void TimeOutNow(int stall = kLongStall) {
        GiveUpOnTheRunningRequest();
        Unit().SetStall(0, stall);
    }

    // Asks a poll, which returns at once however long the unit takes.
    void AskPoll() {
        const auto start = std::chrono::steady_clock::now();
        form->TimerTimer(form->Timer);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500))
            << "the window waited on the unit";
    }
};

TEST_F(SilentUnit, ATimedOutReadSaysSoPollingGoesOnAndTheAnswerBringsTheDataBack) {
    SetFixedBlock(QuietBlock());
    Connect();
    Poll();
    ASSERT_EQ(form->windowTitle(), kDetected);
    int logged = 0;
    form->OnPollRead = [&logged](const TDataBlock&) { ++logged; };

    Unit().SetStall(0, kLongStall);
    AskPoll();
    WaitUntilStalled();
    EXPECT_EQ(form->windowTitle(), kDetected) << "nothing is known before the request ends";
    EXPECT_FALSE(form->Timer->isActive()) << "the cycle is not done";
    TimeOutNow();
    Settle();
    EXPECT_EQ(form->windowTitle(), kSilent);
    EXPECT_TRUE(form->Timer->isActive()) << "polling goes on by itself";
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.00 В") << "the all-zero block is shown";
    EXPECT_EQ(logged, 0) << "no block read, nothing logged";

    // The next cycle: nothing is sent to a unit that still holds a request; its read is answered
    // at once as not answered, and polling goes on.
    AskPoll();
    Settle();
    EXPECT_EQ(form->windowTitle(), kSilent);
    EXPECT_EQ(Unit().StalledRequests(), 1) << "a request went to a unit that still held one";
    EXPECT_TRUE(form->Timer->isActive());
    Unit().SetStall(0, 0); // the held read is answered at last, to nobody
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !form->Session().Exchange().Stalled(); }));
    EXPECT_EQ(form->windowTitle(), kSilent);

    TDataBlock b = QuietBlock();
    b[block::kOs1Min] = 10;
    SetFixedBlock(b);
    Poll();
    EXPECT_EQ(form->windowTitle(), kDetected);
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0.17 В");
    EXPECT_EQ(logged, 1);
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(SilentUnit, UntickingDuringAStallTakesEffectAtOnceAndDropsWhatComesLate) {
    Connect();
    Poll();
    Unit().SetStall(0, kLongStall);
    AskPoll();
    WaitUntilStalled();
    form->FuncComboBox->setCurrentIndex(4); // an output test, asked behind the waiting read
    form->GoButtonClick(form->GoButton);
    Unit().ClearLog();

    form->CheckBox1->setChecked(false);
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_TRUE(form->Label41->text().isEmpty());
    const QString disconnected = form->windowTitle();

    Unit().SetStall(0, 0);
    Settle();
    EXPECT_EQ(form->windowTitle(), disconnected) << "the late answer was applied";
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_TRUE(form->Label41->text().isEmpty());
    for (const auto& entry : ExchangeLog()) // the waiting read is answered, and dropped
        EXPECT_NE(entry.direction, kSet)
            << "a request asked before unticking still reached the unit";

    // Ticking again starts afresh, with the unit answering.
    Connect();
    Poll();
    EXPECT_EQ(form->windowTitle(), kDetected);
}

TEST_F(SilentUnit, ConnectingToASilentUnitGivesUpAfterTheFirstTimedOutStep) {
    Unit().SetStall(0, kLongStall);
    form->CheckBox1->setChecked(true);
    WaitUntilStalled();
    EXPECT_TRUE(form->Timer->isActive());
    TimeOutNow(0); // the unit answers the read given up on, too late
    WaitUntilFree();
    Settle();
    ASSERT_TRUE(testsupport::PumpUntil([] { return Unit().StalledRequests() == 0; }));
    EXPECT_EQ(form->windowTitle(), kSilent);
    Poll();
    EXPECT_EQ(form->windowTitle(), kDetected);
    // The poll read the parameters back, as none were loaded; the read-back given up on, its read
    // answered late, went no further.
    int commandOnes = 0;
    for (const auto& entry : ExchangeLog())
        commandOnes += entry.direction == kSet && entry.report[1 + block::kCommand] == 1;
    EXPECT_EQ(commandOnes, 1) << "the read-back went on after it was given up on";
}

TEST_F(SilentUnit, ClosingDuringAStallAbandonsTheRunningRequestAndRunsNoOther) {
    Connect();
    Poll();
    Unit().SetStall(0, kLongStall);
    AskPoll();
    WaitUntilStalled();
    form->FuncComboBox->setCurrentIndex(4);
    form->GoButtonClick(form->GoButton); // asked behind the waiting read
    Unit().ClearLog();
    form->show();
    form->close();
    EXPECT_FALSE(form->isVisible()) << "the window goes at once";
    const auto start = std::chrono::steady_clock::now();
    form.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
        << "going away waited for the unit";
    Unit().SetStall(0, 0); // the unit answers the abandoned read at last
    ASSERT_TRUE(testsupport::PumpUntil([] { return Unit().StalledRequests() == 0; }));
    for (const auto& entry : ExchangeLog())
        EXPECT_NE(entry.direction, kSet) << "the request asked after the running one was run";
}

} // namespace
