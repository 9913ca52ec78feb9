// Finding the unit, ticking the connect box, the functions of the selector and the unit going
// away and coming back, against the virtual unit.

#include "PanelTestSupport.h"

#include <QComboBox>
#include <QTimer>

using namespace paneltest;
using testsupport::BlockOf;
using testsupport::kGet;
using testsupport::kSet;

namespace {

// A block whose every byte is distinct, with readable parameters at scale 64.
TDataBlock ParameterBlock() {
    TDataBlock b{};
    for (int i = 0; i < block::kBlockSize; ++i)
        b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7 + 3);
    b[block::kPollPeriod] = 20;
    b[block::kThreshold0] = 58;  // 0.996875 V
    b[block::kThreshold1] = 145; // 2.4921875 V
    b[block::kOs2Length] = 30;
    b[block::kOs2Delay] = 7;
    b[block::kScaleByte] = 64;
    b[block::kCommand] = 77;
    return b;
}

} // namespace

TEST_F(PanelTest, TickingTheBoxSendsCommandOneReadsTenMillisecondsLaterAndSendsTheBlockBack) {
    const TDataBlock fixed = ParameterBlock();
    SetFixedBlock(fixed);
    form->CheckBox1->setChecked(true);
    Settle();

    // Command 1 goes on the block the unit has just given: nothing the unit did not give is
    // ever sent to it, not even for a read-back.
    const auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].direction, kGet);
    EXPECT_EQ(log[1].direction, kSet);
    EXPECT_EQ(log[1].length, 252);
    EXPECT_EQ(log[1].report[0], 0); // report id
    TDataBlock commandOne = fixed;
    commandOne[block::kCommand] = 1; // read the parameters back
    EXPECT_EQ(BlockOf(log[1]), commandOne);
    EXPECT_EQ(log[2].direction, kGet);
    EXPECT_GE(log[2].monotonic_ns - log[1].monotonic_ns, 10'000'000);
    EXPECT_EQ(log[3].direction, kSet);
    EXPECT_EQ(log[3].report[0], 0);
    EXPECT_EQ(BlockOf(log[3]), fixed);   // as read, the command byte as the unit returned it
    EXPECT_EQ(log[3].report[251], 0xA5); // what the read left there

    EXPECT_EQ(form->SpinEdit35->text(), "20");
    EXPECT_EQ(form->SpinEdit36->text(), "1.00");
    EXPECT_EQ(form->SpinEdit37->text(), "2.49");
    EXPECT_EQ(form->SpinEdit38->text(), "30");
    EXPECT_EQ(form->SpinEdit39->text(), "7");
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
    EXPECT_EQ(form->State.scale, 64);
    EXPECT_TRUE(form->Timer->isActive());
    ASSERT_NE(form->State.held_device, nullptr);
    EXPECT_TRUE(form->State.held_device->CheckedOut());
    EXPECT_EQ(form->State.held_device->Controller(), form->HidDeviceController);
}

TEST_F(PanelTest, ControllerIsSetUpAsDesigned) {
    THidDeviceController* controller = form->HidDeviceController;
    ASSERT_NE(controller, nullptr);
    EXPECT_EQ(controller->objectName(), "HidDeviceController");
    EXPECT_EQ(controller->DevThreadSleepTime(), 10);
    EXPECT_TRUE(controller->OnEnumerate().assigned());
    EXPECT_FALSE(controller->OnArrival().assigned());
    EXPECT_FALSE(controller->OnRemoval().assigned());
    EXPECT_FALSE(controller->OnDeviceChange().assigned());
    EXPECT_FALSE(controller->OnDeviceData().assigned());
    EXPECT_FALSE(controller->OnDeviceUnplug().assigned());
    EXPECT_EQ(controller->DeviceCount(), 1); // the first scan has run
}

// Shown clamped, but saved unedited as the unit holds them: nothing the user did not change is
// changed.
TEST_F(PanelTest, ParametersOutsideTheFieldLimitsAreShownClampedAndSavedAsTheUnitHoldsThem) {
    TDataBlock fixed = ParameterBlock();
    fixed[block::kPollPeriod] = 0;
    fixed[block::kThreshold0] = 0;
    fixed[block::kThreshold1] = 255; // 4.38 V
    fixed[block::kOs2Delay] = 2;
    SetFixedBlock(fixed);
    form->CheckBox1->setChecked(true);
    Settle();
    EXPECT_EQ(form->SpinEdit35->text(), "1");
    EXPECT_EQ(form->SpinEdit36->text(), "0.01");
    EXPECT_EQ(form->SpinEdit37->text(), "4.00");
    EXPECT_EQ(form->SpinEdit39->text(), "5");

    Unit().ClearLog();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    const auto log = testsupport::SentLog();
    ASSERT_EQ(log.size(), 1u);
    const auto sent = BlockOf(log[0]);
    EXPECT_EQ(sent[block::kPollPeriod], 0);
    EXPECT_EQ(sent[block::kThreshold0], 0);
    EXPECT_EQ(sent[block::kThreshold1], 255);
    EXPECT_EQ(sent[block::kOs2Length], 30);
    EXPECT_EQ(sent[block::kOs2Delay], 2);
    EXPECT_EQ(sent[block::kCommand], 2);

    // Edited, a field is saved as it shows: the clamped value typed in again counts as edited
    // only once it differs from what was loaded.
    form->SpinEdit35->setText("2");
    form->SpinEdit37->setText("3.99");
    Unit().ClearLog();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    const auto edited = BlockOf(testsupport::SentLog().at(0));
    EXPECT_EQ(edited[block::kPollPeriod], 2);
    EXPECT_EQ(edited[block::kThreshold0], 0);
    EXPECT_EQ(edited[block::kThreshold1], 232); // 232.1 counts
}

TEST_F(PanelTest, AFailedReadBackLoadsNothingSendsNothingAndKeepsExecuteDisabled) {
    SetFixedBlock(ParameterBlock());
    const QString before = form->SpinEdit36->text();
    Unit().SetFailures(0, 1, 0);
    form->FuncComboBox->setCurrentIndex(3);
    form->CheckBox1->setChecked(true);
    Settle();
    EXPECT_EQ(form->SpinEdit36->text(), before) << "fields loaded from a block never read";
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
    EXPECT_TRUE(ExchangeLog().empty()) << "a block the unit did not give was sent";
    Poll();
    EXPECT_FALSE(form->ParametersLoaded());
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->SpinEdit36->isEnabled());

    // The unit answers again: the next poll reads the parameters back, and only then are the
    // fields and Execute let in.
    Unit().SetFailures(0, 0, 0);
    Poll();
    EXPECT_TRUE(form->ParametersLoaded());
    EXPECT_EQ(form->SpinEdit36->text(), "1.00");
    Poll();
    EXPECT_TRUE(form->GoButton->isEnabled());
    EXPECT_TRUE(form->SpinEdit36->isEnabled());
}

TEST_F(PanelTest, EachSelectorItemSendsItsCodeAndOnlyItemsOneToThreeFallBack) {
    SetFixedBlock(ParameterBlock());
    Connect();
    const int fallsBackTo[8] = {0, 0, 0, 0, 4, 5, 6, 7};
    for (int item = 0; item < 8; ++item) {
        SCOPED_TRACE(item);
        Unit().ClearLog();
        form->FuncComboBox->setCurrentIndex(item);
        form->GoButtonClick(form->GoButton);
        Settle();
        const auto log = ExchangeLog();
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log.back().direction, kSet);
        // After item 1 the block goes back as read, with the unit's command byte.
        const int expected = item == 1 ? 77 : kSelectorCommands[static_cast<std::size_t>(item)];
        EXPECT_EQ(log.back().report[1 + block::kCommand], expected);
        EXPECT_EQ(log.size(), item == 1 ? 4u : 1u);
        EXPECT_EQ(form->FuncComboBox->currentIndex(), fallsBackTo[item]);
    }

    // No item chosen: the command byte stays as last written.
    form->FuncComboBox->setCurrentIndex(6);
    form->GoButtonClick(form->GoButton);
    Settle();
    form->FuncComboBox->setCurrentIndex(-1);
    Unit().ClearLog();
    form->GoButtonClick(form->GoButton);
    Settle();
    const auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].report[1 + block::kCommand], 64);
}

TEST_F(PanelTest, SavingEditedFieldsRoundsToTheNearestCountAndCapsAtTheTop) {
    SetFixedBlock(ParameterBlock());
    Connect();
    form->SpinEdit35->SetValue(200);
    form->SpinEdit36->setText("0.17"); // raw 10 shown with two decimals
    form->SpinEdit37->setText("0.19"); // raw 11
    form->SpinEdit38->SetValue(255);
    form->SpinEdit39->SetValue(6);
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 1u);
    auto sent = BlockOf(log[0]);
    EXPECT_EQ(sent[block::kPollPeriod], 200);
    EXPECT_EQ(sent[block::kThreshold0], 10);
    EXPECT_EQ(sent[block::kThreshold1], 11);
    EXPECT_EQ(sent[block::kOs2Length], 255);
    EXPECT_EQ(sent[block::kOs2Delay], 6);
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);

    // At scale 100, 4.00 V is 363.6 counts: the byte takes 255, not the low 8 bits (107). A text
    // that is no number saves as the field's smallest value.
    TDataBlock wide = ParameterBlock();
    wide[block::kScaleByte] = 100;
    SetFixedBlock(wide);
    Poll();
    ASSERT_EQ(form->State.scale, 100);
    // The unit did not keep the save above (it answers one block whatever it is sent): the
    // fields were read back, at its new scale.
    Settle();
    EXPECT_EQ(form->SpinEdit36->text(), "0.64"); // 58 counts at scale 100
    form->SpinEdit36->setText("x");
    form->SpinEdit37->SetValue(4);
    Unit().ClearLog();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    log = ExchangeLog();
    ASSERT_EQ(log.size(), 1u);
    sent = BlockOf(log[0]);
    EXPECT_EQ(sent[block::kThreshold0], 1); // 0.01 V is 0.9 counts
    EXPECT_EQ(sent[block::kThreshold1], 255);
}

// Fields read back at one scale are not saved at another: the first Save once the unit's scale
// has changed reads them back again, and the next saves the unit's own bytes.
TEST_F(PanelTest, ASaveAfterTheUnitsScaleChangedReadsBackFirst) {
    SetFixedBlock(ParameterBlock());
    Connect();
    TDataBlock wide = ParameterBlock();
    wide[block::kScaleByte] = 128;
    SetFixedBlock(wide);
    Poll();
    ASSERT_EQ(form->SpinEdit36->text(), "1.00"); // 58 counts at scale 64
    Unit().ClearLog();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    for (const auto& sent : testsupport::SentLog())
        EXPECT_NE(sent.report[1 + block::kCommand], cmd_save_eeprom);
    EXPECT_EQ(form->SpinEdit36->text(), "0.50"); // 58 counts at scale 128

    Unit().ClearLog();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    const auto sent = testsupport::SentLog();
    ASSERT_EQ(sent.size(), 1u);
    TDataBlock expected = wide;
    expected[block::kCommand] = cmd_save_eeprom;
    EXPECT_EQ(BlockOf(sent[0]), expected) << "not 116 / 255, the volts of scale 64 at 128";
}

TEST_F(PanelTest, ReadAndSaveWithoutEditingKeepsEveryThreshold) {
    for (int raw : {1, 10, 11, 57, 58, 100, 200, 232}) {
        SCOPED_TRACE(raw);
        TDataBlock fixed = ParameterBlock();
        fixed[block::kThreshold0] = static_cast<std::uint8_t>(raw);
        fixed[block::kThreshold1] = static_cast<std::uint8_t>(raw + 1);
        SetFixedBlock(fixed);
        form->FuncComboBox->setCurrentIndex(1);
        form->GoButtonClick(form->GoButton);
        Settle();
        Unit().ClearLog();
        form->FuncComboBox->setCurrentIndex(2);
        form->GoButtonClick(form->GoButton);
        Settle();
        const auto sent = BlockOf(ExchangeLog().at(0));
        EXPECT_EQ(sent[block::kThreshold0], raw);
        EXPECT_EQ(sent[block::kThreshold1], raw + 1);
    }
}

TEST_F(PanelTest, OnlyTheExactProductAndManufacturerStringsAreTheUnit) {
    struct Case {
        const char* product;
        const char* manufacturer;
        bool found;
    };
    const Case cases[] = {
        {"Tarvenik", "Other", false},      {"tarvenik", "Mirdal-vk", false},
        {"Tarvenik ", "Mirdal-vk", false}, {"Tarveni", "Mirdal-vk", false},
        {"Тарвеник", "Mirdal-vk", false},  {"Tarvenik", "Mirdal-VK", false},
        {"Tarvenik", "Mirdal-vk", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.product + std::string("/") + c.manufacturer);
        // A device reads its strings once: the unit comes back as a new device with new ones.
        UnplugNow(0);
        Unit().SetStrings(0, c.product, c.manufacturer);
        PlugNow(0);
        EXPECT_EQ(form->Get_Tarvenik_Dev(), c.found);
        EXPECT_EQ(form->State.held_device != nullptr, c.found);
    }
}

TEST_F(PanelTest, WithNoUnitTheBoxStartsTheTimerAndTheFirstPollUnticksIt) {
    UnplugNow(0);
    form->CheckBox1->setChecked(true);
    Settle();
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_TRUE(ExchangeLog().empty());
    form->GoButtonClick(form->GoButton); // does nothing without a unit
    Settle();
    EXPECT_TRUE(ExchangeLog().empty());

    Poll();
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_EQ(form->windowTitle(), "Устройство не обнаруженно :(");
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->SpinEdit35->isEnabled());
}

TEST_F(PanelTest, AnUnpluggedUnitIsGivenBackAndAReplugIsFoundAgain) {
    Connect();
    Poll();
    ASSERT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    THidDeviceController* controller = form->HidDeviceController;

    UnplugNow(0);
    Poll();
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_EQ(controller->DeviceCount(), 0); // given back, out of the list
    EXPECT_EQ(controller->UnpluggedCount(), 0);
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_EQ(form->windowTitle(), "Устройство не обнаруженно :(");

    PlugNow(0);
    Unit().ClearLog();
    form->CheckBox1->setChecked(true);
    Settle();
    ASSERT_NE(form->State.held_device, nullptr);
    EXPECT_TRUE(form->State.held_device->Attached());
    EXPECT_EQ(ExchangeLog().size(), 4u);
    Poll();
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(PanelTest, AUnitBackBeforeTheNextPollHasItsParametersReadBackAndIsPolledOn) {
    Connect();
    Poll();
    THidDevice* before = form->State.held_device;
    UnplugNow(0);
    PlugNow(0);
    SetFixedBlock(ParameterBlock());
    Unit().ClearLog();
    Poll();
    EXPECT_NE(form->State.held_device, nullptr);
    EXPECT_NE(form->State.held_device, before);
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_TRUE(form->Timer->isActive());
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    // A unit found anew is a unit whose parameters are not known: read back first, as at a tick.
    const auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom);
    EXPECT_EQ(log[4].direction, kGet);
    EXPECT_EQ(form->State.data_block, ParameterBlock());
    EXPECT_EQ(form->SpinEdit35->text(), "20");
    EXPECT_TRUE(form->ParametersLoaded());
}

// On Windows a unit put back in its port may keep its DevInst, and so its node path: it is a unit
// found anew all the same, reached through a handle of its own and its parameters read back
// first; also when it was back before the window had looked.
TEST_F(PanelTest, AUnitBackWithItsDevInstIsReachedAnewAndHasItsParametersReadBack) {
    Unit().KeepDevInst(0, 1);
    Connect();
    Poll();
    UnplugNow(0);
    PlugNow(0);
    SetFixedBlock(ParameterBlock());
    Unit().ClearLog();
    Poll();
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    auto log = ExchangeLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom);
    EXPECT_EQ(form->State.data_block, ParameterBlock());

    ASSERT_EQ(Unit().Unplug(0), 0);
    ASSERT_EQ(Unit().Plug(0), 0);
    Unit().ClearLog();
    Poll(); // through the handle from before: fails as unplugged
    EXPECT_TRUE(ExchangeLog().empty());
    Poll();
    log = ExchangeLog();
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1].report[1 + block::kCommand], cmd_read_eeprom);
    EXPECT_TRUE(form->ParametersLoaded());
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(PanelTest, WithTwoUnitsTheLaterInTheListIsHeld) {
    PlugNow(1);
    ASSERT_EQ(form->HidDeviceController->DeviceCount(), 2);
    ASSERT_TRUE(form->Get_Tarvenik_Dev());
    EXPECT_EQ(form->State.held_device, form->HidDeviceController->DeviceAt(1));
    // Only the unit held is taken; the other stays the controller's.
    EXPECT_FALSE(form->HidDeviceController->DeviceAt(0)->CheckedOut());
    EXPECT_EQ(form->HidDeviceController->CheckedOutCount(), 1);
    // Holding a unit, the window searches no more.
    THidDevice* held = form->State.held_device;
    EXPECT_TRUE(form->Get_Tarvenik_Dev());
    EXPECT_EQ(form->State.held_device, held);
}

TEST_F(PanelTest, TheWindowForgetsItsUnitWhenDestroyed) {
    Connect();
    ASSERT_NE(form->State.held_device, nullptr);
    form->OnDestroy(form.get()); // what the window's destruction runs first
    EXPECT_EQ(form->State.held_device, nullptr);
    form.reset();

    // The reference lives in the window and goes with it, even when the destroy handler was
    // replaced; the units lent to it go back without a fault.
    form = std::make_unique<TTarvenik_Control_Form>();
    DeliverPosted();
    Connect();
    ASSERT_NE(form->State.held_device, nullptr);
    form->OnDestroy = nullptr;
    form.reset();
}
