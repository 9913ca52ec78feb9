// The Windows programs under wine on a real kernel, in a Debian root with wine as Debian ships it
// (8.0): wine's own HID stack (winebus.sys, which finds hidraw devices through libudev and hears
// of new ones from udevd, then hidclass.sys, hid.dll and setupapi.dll) against a USB unit on the
// dummy host controller with the unit's real strings. run-wine starts a program of the deployed
// Windows folder there.
//
// Wine's bus reaches the unit, but names it otherwise than Windows does: for a hidraw device it
// takes the product string from the kernel's HID name, which joins the USB manufacturer and
// product ("Mirdal-vk Tarvenik"), and the manufacturer string from an attribute the hidraw node
// does not have, so it says "hidraw". The programs rightly take no such device for the unit, so
// what is checked here is the way there: the device's HID interface made and taken away by wine's
// stack, the texts the program's HID layer reads from it (hid_list_probe.exe), the programs
// running, and nothing sent to a device that is not the unit.

#include "support/Command.h"
#include "support/SetReportRecorder.h"
#include "support/Sysfs.h"
#include "support/UhidUnit.h"
#include "support/UsbGadget.h"

#include <gtest/gtest.h>

#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;
// A run that hangs is ended after this long, so that what wine wrote still shows; wine's first
// start under emulation takes about half a minute.
constexpr int runSeconds = 240;
constexpr std::size_t shownErrorBytes = 16000;
// The HID interface wine's hidclass.sys makes for the gadget, as its plug-and-play trace names it.
constexpr const char* gadgetInterface = "hid#vid_1209&pid_7a50&mi_00#";

using TResult = TCommandResult;

std::string WineCommand(const std::string& program) {
    return "env TARVENIK_WINE_DEBUG=+plugplay timeout " + std::to_string(runSeconds) +
           " run-wine " + program;
}

// Runs a program under wine to its end with wine's plug-and-play trace on its standard error.
TResult RunWine(const std::string& program) {
    const std::string errors = "/tmp/wine-run.err";
    const auto started = std::chrono::steady_clock::now();
    const TResult result = runCommand(WineCommand(program), errors);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "wine " << program << ": exit " << result.Status << " after " << took.count()
              << " ms\n"
              << result.Out << std::endl;
    return result;
}

// The lines of wine's messages that are not its trace, which is long.
std::string Messages(const std::string& err) {
    std::string kept;
    std::size_t start = 0;
    while (start < err.size() && kept.size() < shownErrorBytes) {
        std::size_t end = err.find('\n', start);
        end = end == std::string::npos ? err.size() : end + 1;
        const std::string line = err.substr(start, end - start);
        if (line.find(":trace:") == std::string::npos)
            kept += line;
        start = end;
    }
    return kept;
}

// How often the trace switches the gadget's HID interface on (true) or off.
int InterfaceSwitches(const std::string& trace, bool on) {
    const std::string state = on ? "enable 1" : "enable 0";
    int count = 0;
    std::size_t at = 0;
    while ((at = trace.find(std::string("IoSetDeviceInterfaceState device L\"\\\\??\\\\") +
                                gadgetInterface,
                            at)) != std::string::npos) {
        const std::size_t end = trace.find('\n', at);
        if (trace.substr(at, end - at).find(state) != std::string::npos)
            ++count;
        at = end;
    }
    return count;
}

// libudev lists a device with a node only once udevd has recorded it: wine's bus would not see
// a unit plugged a moment before.
bool UdevRecorded(const std::string& node) {
    struct stat info {};
    if (node.empty() || stat(node.c_str(), &info) != 0)
        return false;
    const std::string record = "/run/udev/data/c" + std::to_string(major(info.st_rdev)) + ":" +
                               std::to_string(minor(info.st_rdev));
    return waitUntil(kernelTimeoutMs, [&] { return std::filesystem::exists(record); });
}

// Ends what wine left running at the end of a test, however it ends, so that the next starts wine
// afresh, with its trace going where that test looks.
struct TWineStop {
    TWineStop() = default;
    TWineStop(const TWineStop&) = delete;
    TWineStop& operator=(const TWineStop&) = delete;
    ~TWineStop() {
        std::system(
            "chroot /winroot /usr/bin/env WINEPREFIX=/wine/prefix /usr/lib/wine/wineserver -k");
    }
};

UsbGadget MakeUnit() {
    return UsbGadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
}

} // namespace

TEST(WineOnKernel, TheToolRunsAndWinesBusReachesTheUsbUnitButNamesItOtherwise) {
    const TWineStop stopWine;
    UsbGadget gadget = MakeUnit();
    // A HID device with no USB strings beside it, which is not to be taken for a unit either.
    UhidUnit uhid{{0x7A5E, 0x0C01, 0x0213, "Mirdal-vk Tarvenik", "wine-test"}};
    SetReportRecorder recorder;
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    ASSERT_TRUE(UdevRecorded(gadget.waitForHidraw(kernelTimeoutMs))) << "udevd has no record";
    ASSERT_TRUE(recorder.start(gadget.functionNode(), error)) << error;
    ASSERT_TRUE(uhid.plugIn(error)) << error;
    ASSERT_TRUE(UdevRecorded(uhid.waitForHidraw(kernelTimeoutMs))) << "udevd has no record";

    TResult r = RunWine("tarvenik-cli.exe list");
    EXPECT_EQ(r.Status, 1) << Messages(r.Err);
    EXPECT_NE(r.Err.find("tarvenik-cli: no Tarvenik unit found"), std::string::npos)
        << Messages(r.Err);
    // Both kernel devices reached hidclass.sys, the gadget with its USB serial in its instance.
    EXPECT_EQ(InterfaceSwitches(r.Err, true), 1) << Messages(r.Err);
    EXPECT_NE(r.Err.find(std::string(gadgetInterface) + "263&0003&"), std::string::npos);
    EXPECT_NE(r.Err.find("hid#vid_7a5e&pid_0c01#0&wine-test&"), std::string::npos);

    // What the program's HID layer reads from the gadget through hid.dll and setupapi.dll.
    r = RunWine("hid_list_probe.exe");
    ASSERT_EQ(r.Status, 0) << Messages(r.Err);
    const QStringList devices = QString::fromStdString(r.Out).split('\n', Qt::SkipEmptyParts);
    const QStringList found = devices.filter("\t1209:7a50\t");
    ASSERT_EQ(found.size(), 1) << r.Out;
    // The program writes in text mode: its lines end in CR LF.
    const QStringList texts = QString(found[0]).remove('\r').split('\t');
    ASSERT_EQ(texts.size(), 6) << r.Out;
    // No location either: wine's parent node of the HID device has neither location paths nor
    // location information.
    EXPECT_EQ(texts.mid(2), (QStringList{"hidraw", "Mirdal-vk Tarvenik", "0003", ""}));

    r = RunWine("tarvenik-cli.exe read --json");
    EXPECT_EQ(r.Status, 1) << Messages(r.Err);
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(recorder.next(0).empty()) << "a report went to a device not taken for the unit";
    EXPECT_TRUE(uhid.getRequests().empty()) << "the uhid device was asked for its report";
}

// The panel runs off screen under wine meanwhile, keeping wine's services up.
TEST(WineOnKernel, UdevdBringsAnUnplugAndAReplugToWinesBusWhileThePanelRuns) {
    const TWineStop stopWine;
    const std::string errors = "/tmp/wine-panel.err";
    const pid_t panel = fork();
    ASSERT_GE(panel, 0);
    if (panel == 0) {
        setpgid(0, 0);
        execl("/bin/sh", "sh", "-c",
              ("exec " + WineCommand("tarvenik.exe") + " 2>" + errors).c_str(), nullptr);
        _exit(127);
    }
    const auto trace = [&] { return readText(errors); };
    // wine's bus made its own virtual keyboard: its services are up.
    const bool started = waitUntil(runSeconds * 1000, [&] {
        return trace().find("hid#vid_845e&pid_0002") != std::string::npos;
    });

    UsbGadget gadget = MakeUnit();
    std::string error;
    bool plugged = started && gadget.plugIn(error);
    plugged = plugged && UdevRecorded(gadget.waitForHidraw(kernelTimeoutMs));
    const bool seen = plugged && waitUntil(runSeconds * 1000,
                                           [&] { return InterfaceSwitches(trace(), true) == 1; });
    if (seen)
        gadget.unplug();
    const bool gone = seen && waitUntil(runSeconds * 1000,
                                        [&] { return InterfaceSwitches(trace(), false) == 1; });
    plugged = gone && gadget.plugIn(error) && UdevRecorded(gadget.waitForHidraw(kernelTimeoutMs));
    const bool back = plugged && waitUntil(runSeconds * 1000,
                                           [&] { return InterfaceSwitches(trace(), true) == 2; });
    const bool running = waitpid(panel, nullptr, WNOHANG) == 0;

    kill(-panel, SIGKILL);
    waitpid(panel, nullptr, 0);
    EXPECT_TRUE(started) << "wine's bus did not start\n" << Messages(trace());
    EXPECT_TRUE(seen) << "the plugged unit did not reach wine's bus\n" << Messages(trace());
    EXPECT_TRUE(gone) << "the unplug did not reach wine's bus\n" << Messages(trace());
    EXPECT_TRUE(back) << "the unit plugged in again did not reach wine's bus\n"
                      << Messages(trace());
    EXPECT_TRUE(running) << "the panel ended under wine\n" << Messages(trace());
}
