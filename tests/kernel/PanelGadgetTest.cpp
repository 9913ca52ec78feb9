// The panel itself against a real USB device. Its window, drawn off screen, loads the Linux HID
// modules from the folder of this program and meets a configfs HID gadget on the dummy host
// controller: it finds the unit by its USB strings, reads its parameters back, polls it, saves
// parameters, notices the unplug and finds the unit again once it is back.

#include "app/DataBlock.h"
#include "app/Unit1.h"
#include "framework/Color.h"
#include "hid/HidControllerClass.h"
#include "support/SetReportRecorder.h"
#include "support/Sysfs.h"
#include "support/UsbGadget.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;

GadgetIdentity unitIdentity() {
    return {0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0001"};
}

using Report = std::vector<uint8_t>;

// The data bytes of a report the panel sends with this block: the report id does not travel, the
// block does, and the spare last byte repeats what the last read left there, 0 from this unit.
Report reportOf(const TDataBlock& sent) {
    Report report(sent.begin(), sent.end());
    report.push_back(0);
    return report;
}

// Runs the event loop until `done` answers true or `timeoutMs` has passed. Kernel events come
// when they come; the short timer only makes sure the deadline is looked at.
bool processEventsUntil(int timeoutMs, const std::function<bool()>& done) {
    const QDeadlineTimer deadline(timeoutMs);
    QTimer heartbeat;
    heartbeat.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// The devInst the modules give a hidraw node: the instance number of its HID device in sysfs,
// the hexadecimal digits after the last dot of e.g. 0003:1209:7A50.0004.
uint32_t devInstFromSysfs(const std::string& hidrawNode) {
    const std::string name = std::filesystem::path(hidrawNode).filename().string();
    const std::string hidDevice =
        std::filesystem::canonical("/sys/class/hidraw/" + name + "/device").filename().string();
    return static_cast<uint32_t>(
        std::stoul(hidDevice.substr(hidDevice.rfind('.') + 1), nullptr, 16));
}

class GadgetPanel : public ::testing::Test {
protected:
    virtual GadgetIdentity identity() const { return unitIdentity(); }

    // One gadget serves a whole suite, as plugging one in costs the machine half a second; a test
    // that leaves it unplugged has it plugged in again by the next.
    static std::unique_ptr<UsbGadget>& suiteGadget() {
        static std::unique_ptr<UsbGadget> gadget;
        return gadget;
    }
    static void TearDownTestSuite() { suiteGadget().reset(); }

    void SetUp() override {
        QLocale::setDefault(QLocale::c());

        if (!suiteGadget())
            suiteGadget() = std::make_unique<UsbGadget>(identity());
        gadget = suiteGadget().get();
        if (gadget->plugged())
            ASSERT_NO_FATAL_FAILURE(attach());
        else
            ASSERT_NO_FATAL_FAILURE(plugIn());
        form = std::make_unique<TTarvenik_Control_Form>();
        form->show();
        // The controller's first scan runs when the event loop delivers the message it posted.
        ASSERT_TRUE(processEventsUntil(kernelTimeoutMs, [this] { return listed(node); }))
            << "the controller's first scan did not list " << node;
    }

    void TearDown() override {
        form.reset();
        recorder.stop();
        QLocale::setDefault(QLocale::c());
    }

    // Binds the gadget, then attaches to it.
    void plugIn() {
        std::string error;
        ASSERT_TRUE(gadget->plugIn(error)) << error;
        ASSERT_NO_FATAL_FAILURE(attach());
    }

    // Waits for the gadget's hidraw node and starts recording what reaches its function.
    void attach() {
        node = gadget->waitForHidraw(kernelTimeoutMs);
        ASSERT_FALSE(node.empty()) << "the USB device got no hidraw node";
        const std::string function = gadget->functionNode();
        ASSERT_TRUE(waitUntil(kernelTimeoutMs, [&] { return std::filesystem::exists(function); }))
            << function << " did not appear";
        std::string error;
        ASSERT_TRUE(recorder.start(function, error)) << error;
    }

    // Whether the window's controller lists an attached device at this node.
    bool listed(const std::string& path) const {
        const THidDeviceController* controller = form->HidDeviceController;
        for (int i = 0; i < controller->DeviceCount(); ++i) {
            const THidDevice* device = controller->DeviceAt(i);
            if (device->Attached() && device->InterfaceInfo().InterfacePath == path)
                return true;
        }
        return false;
    }

    // Runs the event loop until every request asked of the unit has been answered and applied.
    void settle() {
        ASSERT_TRUE(processEventsUntil(kernelTimeoutMs, [this] { return !form->UnitBusy(); }))
            << "the unit's answer did not come";
    }

    // Ticks the connect box and takes the two reports of the parameter read-back.
    void connect() {
        form->CheckBox1->click();
        settle();
        ASSERT_TRUE(form->CheckBox1->isChecked());
        ASSERT_NE(form->State.held_device, nullptr) << "the unit was not found by its strings";
        ASSERT_FALSE(recorder.next(kernelTimeoutMs).empty()) << "no command reached the unit";
        ASSERT_FALSE(recorder.next(kernelTimeoutMs).empty()) << "the block was not sent back";
    }

    void poll() {
        form->TimerTimer(form->Timer);
        settle();
    }

    UsbGadget* gadget = nullptr;
    std::string node;
    SetReportRecorder recorder;
    std::unique_ptr<TTarvenik_Control_Form> form;
};

} // namespace

TEST_F(GadgetPanel, TickingTheBoxFindsTheUnitByItsStringsAndReadsItsParametersBack) {
    ASSERT_EQ(form->State.held_device, nullptr);
    form->CheckBox1->click();
    settle();

    ASSERT_NE(form->State.held_device, nullptr) << "the unit was not found by its strings";
    EXPECT_TRUE(form->State.held_device->CheckedOut());
    EXPECT_EQ(form->State.held_device->InterfaceInfo().InterfacePath, node);
    EXPECT_EQ(form->State.held_device->InterfaceInfo().InstanceHandle, devInstFromSysfs(node));

    TDataBlock command{};
    command[block::kCommand] = cmd_read_eeprom;
    EXPECT_EQ(recorder.next(kernelTimeoutMs), reportOf(command))
        << "the first report is not the read command on the start block";
    // This kernel's f_hid answers the read with zeros: the block goes back as read, command
    // byte included.
    EXPECT_EQ(recorder.next(kernelTimeoutMs), reportOf(TDataBlock{}))
        << "the second report is not the block as read";
    // The read-back's answer has come and the recorder runs first: a third report would be here
    // already.
    EXPECT_TRUE(recorder.next(0).empty()) << "more than two reports before the first poll";

    // The all-zero block, within the fields' limits.
    EXPECT_EQ(form->SpinEdit35->text(), "1");
    EXPECT_EQ(form->SpinEdit36->text(), "0.01");
    EXPECT_EQ(form->SpinEdit37->text(), "0.01");
    EXPECT_EQ(form->SpinEdit38->text(), "0");
    EXPECT_EQ(form->SpinEdit39->text(), "5");
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
    EXPECT_TRUE(form->Timer->isActive());
}

TEST_F(GadgetPanel, APollShowsTheUnitAndDrawsTheBlockItAnswers) {
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    ASSERT_NO_FATAL_FAILURE(connect());
    // Something for the poll to paint over.
    framework::TCanvas* canvas = form->Image->Canvas();
    canvas->Pen.Color = framework::clBlack;
    canvas->MoveTo(0, 100);
    canvas->LineTo(form->Image->width(), 100);

    poll();

    EXPECT_EQ(form->windowTitle(), "Устройство обнаруженно :)");
    for (QWidget* control : std::initializer_list<QWidget*>{
             form->GoButton, form->FuncComboBox, form->SpinEdit35, form->SpinEdit36,
             form->SpinEdit37, form->SpinEdit38, form->SpinEdit39, form->CheckBox2})
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    EXPECT_TRUE(form->Timer->isActive());

    // The all-zero block: scale 64, position 0, every sample and threshold on row 255.
    EXPECT_EQ(form->State.scale, 64);
    EXPECT_EQ(form->Pos_Label->text(), "0");
    EXPECT_EQ(form->Pos_Label->x(), 9);
    EXPECT_EQ(form->Label40->y(), 10);
    EXPECT_EQ(form->Label_min->text(), "0,0 В");
    EXPECT_EQ(form->Label_min->y(), 255 - form->Label_min->height() / 2);
    EXPECT_EQ(form->Label_max->text(), "0,0 В");
    EXPECT_EQ(form->Label41->text(), "Min значение OS1 = 0,00 В");
    EXPECT_EQ(form->Label42->text(), "Max значение OS1 = 0,00 В");
    EXPECT_EQ(form->Label45->text(), "Время импульса OS2 = 0, напряжение OS2 0,00 В");
    EXPECT_EQ(form->Label48->text(), "Тек сост OS1 = 0");

    const QImage picture = form->Image->Picture();
    QImage white(picture.size(), picture.format());
    white.fill(framework::clWhite.ToRgb());
    EXPECT_EQ(picture, white) << "the oscillogram of an all-zero block is blank";
    const QImage window = form->grab().toImage();
    const QPoint middle = form->Image->geometry().topLeft() + QPoint(235, 100);
    EXPECT_EQ(framework::TColor::FromRgb(window.pixel(middle)), framework::clWhite)
        << "the window does not show the new oscillogram";

    bool answered = false;
    bool done = false;
    form->get_data([&](bool unitAnswered) {
        answered = unitAnswered;
        done = true;
    });
    ASSERT_TRUE(processEventsUntil(kernelTimeoutMs, [&] { return done; }));
    EXPECT_TRUE(answered) << "the unit did not answer the feature request";
    EXPECT_TRUE(recorder.next(0).empty()) << "a poll sent a report";
}

TEST_F(GadgetPanel, SavingSendsTheFieldsValuesInTheParameterBytes) {
    ASSERT_NO_FATAL_FAILURE(connect());
    poll();
    ASSERT_TRUE(form->GoButton->isEnabled());
    form->SpinEdit35->SetValue(20);
    form->SpinEdit36->SetValue(1.0L); // 58.2 counts at scale 64
    form->SpinEdit37->SetValue(2.0L); // 116.4 counts
    form->SpinEdit38->SetValue(7);
    form->SpinEdit39->SetValue(30);
    form->FuncComboBox->setCurrentIndex(2);

    form->GoButton->click();
    settle();

    TDataBlock saved{};
    saved[block::kPollPeriod] = 20;
    saved[block::kThreshold0] = 58;
    saved[block::kThreshold1] = 116;
    saved[block::kOs2Length] = 7;
    saved[block::kOs2Delay] = 30;
    saved[block::kCommand] = cmd_save_eeprom;
    EXPECT_EQ(recorder.next(kernelTimeoutMs), reportOf(saved));
    EXPECT_EQ(form->FuncComboBox->currentIndex(), 0);
}

TEST_F(GadgetPanel, AnUnplugIsNoticedAndTheUnitPluggedInAgainIsFoundAnew) {
    ASSERT_NO_FATAL_FAILURE(connect());
    poll();
    const QPointer<THidDevice> first = form->State.held_device;
    const uint32_t firstInstance = first->InterfaceInfo().InstanceHandle;

    // The poll below, not one of the timer's, is the first to meet the unplugged unit.
    form->Timer->stop();
    recorder.stop();
    gadget->unplug();
    ASSERT_TRUE(processEventsUntil(kernelTimeoutMs, [&] { return !first || !first->Attached(); }))
        << "the controller did not notice the unplug";
    ASSERT_TRUE(first) << "a lent unit was destroyed by the controller";
    EXPECT_EQ(form->State.held_device, first.data());

    poll();

    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_EQ(form->windowTitle(), "Устройство не обнаруженно :(");
    EXPECT_FALSE(form->GoButton->isEnabled());
    EXPECT_FALSE(form->FuncComboBox->isEnabled());
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_TRUE(first.isNull()) << "the vanished unit was not given back";

    ASSERT_NO_FATAL_FAILURE(plugIn());
    ASSERT_TRUE(processEventsUntil(kernelTimeoutMs, [&] { return listed(node); }))
        << "the controller did not list the unit plugged in again";
    form->CheckBox1->click();
    settle();

    ASSERT_NE(form->State.held_device, nullptr) << "the unit plugged in again was not found";
    EXPECT_NE(form->State.held_device->InterfaceInfo().InstanceHandle, firstInstance);
    EXPECT_EQ(form->State.held_device->InterfaceInfo().InstanceHandle, devInstFromSysfs(node));
    TDataBlock command{};
    command[block::kCommand] = cmd_read_eeprom;
    EXPECT_EQ(recorder.next(kernelTimeoutMs), reportOf(command));
}

namespace {

// A unit whose manufacturer string differs from the Tarvenik unit's in letter case only.
class ForeignGadgetPanel : public GadgetPanel {
protected:
    GadgetIdentity identity() const override {
        GadgetIdentity foreign = unitIdentity();
        foreign.manufacturer = "Mirdal-VK";
        return foreign;
    }
};

} // namespace

TEST_F(ForeignGadgetPanel, ADeviceWithOtherStringsIsLeftAlone) {
    form->CheckBox1->click();
    settle();
    EXPECT_EQ(form->State.held_device, nullptr);
    EXPECT_TRUE(recorder.next(0).empty()) << "a report went to a device that is not the unit";

    poll();
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_EQ(form->windowTitle(), "Устройство не обнаруженно :(");
}
