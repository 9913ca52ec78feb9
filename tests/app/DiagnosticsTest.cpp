// What the window tells its user when something is wrong: a unit it may not open, a held unit
// of two that goes, a unit that stops answering; and that nothing is said while everything works.

#include "PanelTestSupport.h"
#include "tests/support/LogCapture.h"
#ifndef _WIN32 // access to a device node is a Linux permission
#include "tests/support/NodeAccess.h"
#endif

using namespace paneltest;
using testsupport::TLogCapture;
#ifndef _WIN32 // access to a device node is a Linux permission
using testsupport::TNodeAccessDenied;

namespace {

std::string NodeOfFirstDevice(const TTarvenik_Control_Form& form) {
    const THidDevice* device = form.HidDeviceController->DeviceAt(0);
    return device ? device->InterfaceInfo().InterfacePath : std::string();
}

} // namespace

TEST_F(PanelTest, AUnitThatCannotBeOpenedIsNotHeldAndConnectsOnceAccessIsGranted) {
    TNodeAccessDenied denied(NodeOfFirstDevice(*form));
    ASSERT_TRUE(denied.Valid());
    TLogCapture log;

    form->CheckBox1->setChecked(true);
    Settle();
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_TRUE(ExchangeLog().empty()); // nothing was sent to a unit that can't answer
    Poll();
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_EQ(form->windowTitle(), "Нет доступа к устройству :(");
    ASSERT_FALSE(log.Lines.isEmpty());
    EXPECT_TRUE(log.Lines.front().contains("access denied")) << log.Lines.front().toStdString();

    // The rule applied, the unit still plugged in: ticking again connects.
    denied.Grant();
    form->CheckBox1->setChecked(true);
    Settle();
    ASSERT_NE(form->State.held_device, nullptr);
    EXPECT_EQ(ExchangeLog().size(), 4u); // a read, command 1, the read, the block sent back
    Poll();
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    EXPECT_TRUE(form->Timer->isActive());

    // With the unit gone, the caption says so again rather than blaming access.
    UnplugNow(0);
    Poll();
    EXPECT_EQ(form->windowTitle(), "Устройство не обнаруженно :(");
}
#endif

TEST_F(PanelTest, WhenTheHeldOfTwoUnitsIsUnpluggedTheOtherIsUsed) {
    PlugNow(1);
    Connect();
    ASSERT_EQ(form->State.held_device, form->HidDeviceController->DeviceAt(1));
    UnplugNow(1);
    Poll();
    ASSERT_NE(form->State.held_device, nullptr);
    EXPECT_TRUE(form->State.held_device->Attached());
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    const auto log = ExchangeLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back().unit, 0);
    EXPECT_EQ(form->HidDeviceController->CheckedOutCount(), 1);
}

TEST_F(PanelTest, NothingIsLoggedWhileAllWorksAndAUnitThatStopsAnsweringIsLoggedOncePerRun) {
    TLogCapture log;
    Connect();
    for (int i = 0; i < 3; ++i)
        Poll();
    form->FuncComboBox->setCurrentIndex(2);
    form->GoButtonClick(form->GoButton);
    Settle();
    EXPECT_TRUE(log.Lines.isEmpty()) << log.Lines.join('\n').toStdString();

    Unit().SetFailures(0, 1, 1);
    for (int i = 0; i < 4; ++i)
        Poll();
    form->GoButtonClick(form->GoButton);
    Settle();
    EXPECT_EQ(log.Lines.size(), 1) << log.Lines.join('\n').toStdString();
    EXPECT_TRUE(form->Timer->isActive()); // the window goes on as designed

    Unit().SetFailures(0, 0, 0);
    Poll();
    Unit().SetFailures(0, 1, 0);
    Poll();
    EXPECT_EQ(log.Lines.size(), 2);
}

TEST_F(PanelTest, AFailedPollCycleIsLoggedWithItsReason) {
    TLogCapture log;
    Connect();
    form->OnPollStep = [](int step) {
        if (step == 10)
            throw std::runtime_error("drawing broke");
    };
    Poll();
    EXPECT_FALSE(form->Timer->isActive());
    ASSERT_EQ(log.Lines.size(), 1);
    EXPECT_TRUE(log.Lines[0].contains("drawing broke"));
}
