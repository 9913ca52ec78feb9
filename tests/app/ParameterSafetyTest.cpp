// The window never writes a parameter the unit did not give it: not before the first answer, not
// after a read-back that failed, not into a unit that took over from another, not from a block
// that failed to read; and a unit that lets its requests wait gets no burst of commands.

#include "PanelTestSupport.h"
#include "tests/support/LogCapture.h"
#ifndef _WIN32 // access to a device node is a Linux permission
#include "tests/support/NodeAccess.h"
#endif

#include <QTemporaryDir>

#include <chrono>

using namespace paneltest;
using testsupport::BlockOf;
using testsupport::kGet;
using testsupport::kSet;
using testsupport::TLogCapture;

namespace {

constexpr int kLongStall = 60'000; // ms: longer than any test; ended by the test itself

// Parameters 20 / 100 / 230 / 7 / 150 at `scale`, every other byte distinct.
TDataBlock UnitBlock(std::uint8_t scale, std::uint8_t salt = 0) {
    TDataBlock b{};
    for (int i = 0; i < block::kBlockSize; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 3 + 1 + salt);
    b[block::kPollPeriod] = 20;
    b[block::kThreshold0] = 100;
    b[block::kThreshold1] = 230;
    b[block::kOs2Length] = 7;
    b[block::kOs2Delay] = 150;
    b[block::kScaleByte] = scale;
    b[block::kPosition] = 10;
    return b;
}

// What a save of unedited fields must send: the unit's own block, command 2.
TDataBlock SavedAsIs(TDataBlock b) {
    b[block::kCommand] = cmd_save_eeprom;
    return b;
}

std::vector<VirtualUnitLogEntry> SetsWithCommand(std::uint8_t command) {
    std::vector<VirtualUnitLogEntry> sets;
    for (const auto& entry : ExchangeLog())
        if (entry.direction == kSet && entry.report[1 + block::kCommand] == command)
            sets.push_back(entry);
    return sets;
}

class ParameterSafety : public PanelTest {
protected:
    void TearDown() override {
        for (int unit = 0; unit < 2; ++unit)
            Unit().SetStall(unit, 0);
        PanelTest::TearDown();
    }
    void WaitUntilStalled() {
        ASSERT_TRUE(testsupport::PumpUntil([] { return Unit().StalledRequests() > 0; }));
    }
    void Save() {
        form->FuncComboBox->setCurrentIndex(2);
        form->GoButtonClick(form->GoButton);
        Settle();
    }
};

} // namespace

TEST_F(ParameterSafety, NothingIsSavedBeforeTheUnitHasAnsweredTheConnectsReadBack) {
    const TDataBlock unit = UnitBlock(64);
    SetFixedBlock(unit);
    Unit().SetStall(0, kLongStall);
    form->CheckBox1->setChecked(true);
    WaitUntilStalled();
    form->TimerTimer(form->Timer); // the first poll, while the read-back still waits
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->SpinEdit36->isEnabled());
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton); // asked anyway: refused, nothing queued
    Unit().SetStall(0, 0);
    Settle();
    EXPECT_TRUE(SetsWithCommand(cmd_save_eeprom).empty());

    // The unit answers: the next poll reads the parameters back and the save sends them as the
    // unit holds them, at its own scale, on its own block.
    Poll();
    Poll();
    ASSERT_TRUE(form->GoButton->isEnabled());
    EXPECT_EQ(form->SpinEdit35->text(), "20");
    EXPECT_EQ(form->SpinEdit39->text(), "150");
    Unit().ClearLog();
    Save();
    const auto saves = SetsWithCommand(cmd_save_eeprom);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(BlockOf(saves[0]), SavedAsIs(unit));
}

TEST_F(ParameterSafety, AConnectWhoseReadBackTimedOutLoadsTheFieldsOnceTheUnitAnswers) {
    const TDataBlock unit = UnitBlock(64);
    SetFixedBlock(unit);
    Unit().SetStall(0, kLongStall);
    form->CheckBox1->setChecked(true);
    WaitUntilStalled();
    GiveUpOnTheRunningRequest();
    Unit().SetStall(0, 0); // the unit answers the one given up on, too late
    WaitUntilFree();
    Settle();
    EXPECT_FALSE(form->ParametersLoaded());
    Poll();
    EXPECT_TRUE(form->ParametersLoaded());
    EXPECT_EQ(form->SpinEdit36->text(), "1.72");
    EXPECT_EQ(form->SpinEdit37->text(), "3.95");
    Poll();
    Unit().ClearLog();
    Save();
    const auto saves = SetsWithCommand(cmd_save_eeprom);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(BlockOf(saves[0]), SavedAsIs(unit)) << "not [20, 100, 230, 7, 150]";
}

TEST_F(ParameterSafety, AUnitThatTakesOverHasItsOwnParametersReadBackAndSavedAtItsScale) {
    const TDataBlock first = UnitBlock(64, 1);
    TDataBlock second = UnitBlock(100, 2);
    second[block::kThreshold0] = 50;
    second[block::kPollPeriod] = 33;
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetFixedBlock(0, second.data());
    Unit().SetFixedBlock(1, first.data());
    form->HidDeviceController->DeviceChange();
    Connect(); // the later unit, 1
    Poll();
    ASSERT_EQ(form->SpinEdit35->text(), "20");

    UnplugNow(1);
    Poll(); // unit 0 takes over: its parameters are read back first
    EXPECT_EQ(form->SpinEdit35->text(), "33");
    EXPECT_EQ(form->SpinEdit36->text(), "0.55"); // 50 counts at scale 100
    Poll();
    Unit().ClearLog();
    Save();
    const auto saves = SetsWithCommand(cmd_save_eeprom);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].unit, 0);
    EXPECT_EQ(BlockOf(saves[0]), SavedAsIs(second));
}

TEST_F(ParameterSafety, ASaveAfterAFailedReadUsesTheLastBlockTheUnitGaveAndItsScale) {
    const TDataBlock unit = UnitBlock(100);
    SetFixedBlock(unit);
    Connect();
    Poll();
    Unit().SetFailures(0, 1, 0);
    Poll(); // the block is all zero now, scale and all
    ASSERT_EQ(form->State.data_block, TDataBlock{});

    // Item 1 while reads fail: the fields stay, and nothing reaches the unit.
    form->FuncComboBox->setCurrentIndex(1);
    form->GoButtonClick(form->GoButton);
    Settle();
    EXPECT_EQ(form->SpinEdit36->text(), "1.10");
    EXPECT_TRUE(SetsWithCommand(cmd_normal).empty());
    EXPECT_TRUE(SetsWithCommand(cmd_read_eeprom).empty());

    Unit().SetFailures(0, 0, 0);
    Unit().ClearLog();
    Save();
    const auto saves = SetsWithCommand(cmd_save_eeprom);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(BlockOf(saves[0]), SavedAsIs(unit)) << "thresholds 100 / 230 at scale 100";
}

TEST_F(ParameterSafety, PressesDuringAStallNeverComeOutAsABurst) {
    SetFixedBlock(UnitBlock(64));
    Connect();
    Poll();
    Unit().ClearLog();

    // While a read waits, presses replace one another: one goes out when the unit answers.
    Unit().SetStall(0, kLongStall);
    form->TimerTimer(form->Timer);
    WaitUntilStalled();
    form->FuncComboBox->setCurrentIndex(4);
    for (int press = 0; press < 10; ++press)
        form->GoButtonClick(form->GoButton);
    Unit().SetStall(0, 0); // the unit answers the read, then the one command
    Settle();
    EXPECT_EQ(SetsWithCommand(cmd_os1_test_0).size(), 1u);

    // Once the caption says the unit does not answer, the request it holds is still at it: the
    // presses wait behind it, each replacing the one before, and the unit gets the last, once.
    Unit().ClearLog();
    Unit().SetStall(0, kLongStall);
    form->TimerTimer(form->Timer);
    WaitUntilStalled();
    GiveUpOnTheRunningRequest(); // the stall goes on
    ASSERT_TRUE(testsupport::PumpUntil(
        [&] { return form->windowTitle() == QStringLiteral("Устройство не отвечает :("); }));
    for (int press = 0; press < 10; ++press) {
        form->FuncComboBox->setCurrentIndex(press % 2 == 0 ? 5 : 4); // the last: item 4
        form->GoButtonClick(form->GoButton);
        // The polls go on, answered at once: nothing is sent to the unit meanwhile.
        form->TimerTimer(form->Timer);
        ASSERT_TRUE(testsupport::PumpUntil([&] { return form->Timer->isActive(); }));
    }
    EXPECT_EQ(Unit().StalledRequests(), 1);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Устройство не отвечает :("));
    Unit().SetStall(0, 0);
    Settle();
    EXPECT_EQ(SetsWithCommand(cmd_os1_test_0).size(), 1u);
    EXPECT_TRUE(SetsWithCommand(cmd_os1_test_1).empty());
    Poll();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Устройство обнаруженно :)"));
}

TEST_F(ParameterSafety, ClosingDuringAStalledRequestDoesNotWaitForTheUnit) {
    SetFixedBlock(UnitBlock(64));
    Connect();
    Unit().SetStall(0, kLongStall);
    form->TimerTimer(form->Timer);
    WaitUntilStalled();
    const auto start = std::chrono::steady_clock::now();
    form.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1))
        << "the window waited for the unit as it went";
}

TEST_F(ParameterSafety, AFailedReadIsNoFallOfThePositionForTheScreenshotTrigger) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    form->ScreenshotHooks.Folder = [&] { return folder.path(); };
    int second = 0;
    form->ScreenshotHooks.Now = [&] {
        return QDateTime(QDate(2026, 12, 7), QTime(10, 0, second++));
    };
    TDataBlock high = UnitBlock(64);
    high[block::kPosition] = 210;
    SetFixedBlock(high);
    Connect();
    form->CheckBox2->setChecked(true);
    Poll(); // the picture of the rise
    for (int stall = 0; stall < 2; ++stall) {
        Unit().SetFailures(0, 1, 0);
        Poll(); // all zero: position 0, which the unit never reported
        Unit().SetFailures(0, 0, 0);
        Poll();
    }
    EXPECT_EQ(QDir(folder.path()).entryList({"*.jpg"}, QDir::Files).size(), 1);
}

TEST_F(ParameterSafety, TwoUnitsWithTheWantedSerialAreRefusedAsTheToolRefusesThem) {
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetSerial(0, "TWIN", 1);
    Unit().SetSerial(1, "TWIN", 1);
    form->HidDeviceController->DeviceChange();
    form->WantedSerial = QStringLiteral("TWIN");
    EXPECT_FALSE(form->Get_Tarvenik_Dev());
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_TRUE(form->Session().ChoiceProblem().contains(QStringLiteral("--location")))
        << form->Session().ChoiceProblem().toStdString();
    UnplugNow(1);
    EXPECT_TRUE(form->Get_Tarvenik_Dev());
}

#ifndef _WIN32
// The one of the two that can't be opened is no reason to take the other: the serial does not
// tell them apart, whatever their access.
TEST_F(ParameterSafety, TwoUnitsWithTheWantedSerialAreRefusedThoughOneCannotBeOpened) {
    ASSERT_EQ(Unit().Plug(1), 0);
    Unit().SetSerial(0, "TWIN", 1);
    Unit().SetSerial(1, "TWIN", 1);
    form->HidDeviceController->DeviceChange();
    ASSERT_EQ(form->HidDeviceController->DeviceCount(), 2);
    testsupport::TNodeAccessDenied denied(
        form->HidDeviceController->DeviceAt(1)->InterfaceInfo().InterfacePath);
    ASSERT_TRUE(denied.Valid());
    form->WantedSerial = QStringLiteral("TWIN");
    EXPECT_FALSE(form->Get_Tarvenik_Dev());
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_FALSE(form->UnitAccessDenied());
    EXPECT_TRUE(form->Session().ChoiceProblem().contains(QStringLiteral("--location")))
        << form->Session().ChoiceProblem().toStdString();
    EXPECT_TRUE(ExchangeLog().empty());
}
#endif

// Saves pressed while a read-back waits on a slow unit: the unit gets the last one after the
// read-back, and the read-back's answer, older than those saves, never takes their values out of
// the fields.
TEST_F(ParameterSafety, AReadBackAnsweredBeforeALaterSaveNeverOverwritesItsValues) {
    Connect(); // the live unit: its EEPROM keeps what is saved
    Poll();
    const QString before = form->SpinEdit35->text();
    ASSERT_NE(before, "55");
    Unit().SetStall(0, kLongStall);
    form->FuncComboBox->setCurrentIndex(1);
    form->GoButtonClick(form->GoButton); // the read-back waits in the unit
    WaitUntilStalled();
    for (const char* period : {"33", "44", "55"}) {
        form->SpinEdit35->setText(QString::fromLatin1(period));
        form->FuncComboBox->setCurrentIndex(2);
        form->GoButtonClick(form->GoButton);
    }
    Unit().ClearLog();
    Unit().SetStall(0, 0);
    Settle();
    const auto saves = SetsWithCommand(cmd_save_eeprom);
    ASSERT_EQ(saves.size(), 1u);
    EXPECT_EQ(saves[0].report[1 + block::kPollPeriod], 55);
    EXPECT_EQ(form->SpinEdit35->text(), "55") << "the older read-back's value came back";

    // Read back again: the unit holds the save.
    Poll();
    form->FuncComboBox->setCurrentIndex(1);
    form->GoButtonClick(form->GoButton);
    Settle();
    EXPECT_EQ(form->SpinEdit35->text(), "55");
}

// A save is checked against the next block the unit answers with: one it did not keep is said in
// the caption and the log, and the fields are read back to show what it holds; a save it keeps
// ends that.
TEST_F(ParameterSafety, ASaveTheUnitDidNotKeepIsSaidAndTheFieldsShowWhatItHolds) {
    SetFixedBlock(UnitBlock(64)); // answers the same whatever it is sent
    Connect();
    Poll();
    TLogCapture log;
    form->SpinEdit35->setText("99");
    Save();
    Poll();
    Settle();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Устройство не сохранило параметры :("));
    EXPECT_TRUE(log.Lines.join('\n').contains("did not keep"))
        << log.Lines.join('\n').toStdString();
    EXPECT_EQ(form->SpinEdit35->text(), "20") << "the fields show what the unit holds";
    Poll();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Устройство не сохранило параметры :("));

    Unit().SetFixedBlock(0, nullptr); // the live unit keeps what it is sent
    Poll();
    form->FuncComboBox->setCurrentIndex(1);
    form->GoButtonClick(form->GoButton);
    Settle();
    form->SpinEdit35->setText("42");
    Save();
    Poll();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Устройство обнаруженно :)"));
    EXPECT_EQ(form->SpinEdit35->text(), "42");
}
