// The Windows programs under wine on a real kernel, in the Debian 13 root with wine as Debian
// ships it (10.0): wine's own HID stack (winebus.sys, which finds hidraw devices through libudev
// and hears of new ones from udevd, then hidclass.sys, hid.dll and setupapi.dll) against USB
// units on the dummy host controller with the unit's real strings. run-wine starts a program of
// the deployed Windows folder there.
//
// Wine 10's bus reads the manufacturer, product and serial strings from the USB device above the
// hidraw node, as Windows gives them, so the programs take the gadget for the unit: the tool
// lists, reads and sets it, the panel connects, reads back, polls and saves. A HID device with
// no USB device above it (uhid) is still named "hidraw" and is not taken. The gadget answers a
// feature GET_REPORT with zeros (this kernel's f_hid does not hand the request to user space), so
// what a read carries is an all-zero block, scale byte 0 standing for 64; what the programs send
// reaches the gadget byte for byte.
//
// Readiness is seen from the programs themselves, never from a debug trace: a unit is there when
// `tarvenik-cli.exe list --json` lists it. A persistent wineserver keeps wine's services (and its
// bus) up across the runs of one test.

#include "support/Command.h"
#include "support/SetReportRecorder.h"
#include "support/Sysfs.h"
#include "support/UhidUnit.h"
#include "support/UsbGadget.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <vector>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;
// A run that hangs is ended after this long, so that what wine wrote still shows; wine's first
// start under emulation takes about half a minute.
constexpr int runSeconds = 240;
constexpr int waitMs = runSeconds * 1000;
// Block bytes (also the gadget's report bytes: report ID 0 is not sent).
constexpr std::size_t os2LengthByte = 238;
constexpr std::size_t commandByte = 249;
constexpr std::size_t reportBytes = 251;

TCommandResult RunWine(const std::string& commandLine) {
    const auto started = std::chrono::steady_clock::now();
    const TCommandResult result = runCommand(
        "timeout " + std::to_string(runSeconds) + " run-wine " + commandLine, "/tmp/wine-run.err");
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "wine " << commandLine << ": exit " << result.Status << " after " << took.count()
              << " ms\n"
              << result.Out << result.Err.substr(0, 4000) << std::endl;
    return result;
}

QJsonArray ListedUnits() {
    const TCommandResult r = RunWine("tarvenik-cli.exe list --json");
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).array();
}

// Lists until `count` units are listed; answers the last list.
QJsonArray WaitForUnits(int count) {
    QJsonArray units;
    waitUntil(waitMs, [&] {
        units = ListedUnits();
        return units.size() == count;
    });
    return units;
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

// wine's server, and with it its services, kept for the whole test and ended after it, so that
// the next test starts wine afresh.
struct TWineServer {
    TWineServer() { std::system("run-wine --server -p"); }
    TWineServer(const TWineServer&) = delete;
    TWineServer& operator=(const TWineServer&) = delete;
    ~TWineServer() { std::system("run-wine --server -k"); }
};

std::vector<uint8_t> Report(uint8_t command, std::size_t byte = 0, uint8_t value = 0) {
    std::vector<uint8_t> report(reportBytes, 0);
    report[commandByte] = command;
    if (byte != 0)
        report[byte] = value;
    return report;
}

// Every report the gadget received until none came for a while.
std::vector<std::vector<uint8_t>> Received(SetReportRecorder& recorder) {
    std::vector<std::vector<uint8_t>> reports;
    for (std::vector<uint8_t> report = recorder.next(kernelTimeoutMs); !report.empty();
         report = recorder.next(3000))
        reports.push_back(std::move(report));
    return reports;
}

// A report as the failure messages show it: its command and the bytes that are not 0.
std::string Described(const std::vector<std::vector<uint8_t>>& reports) {
    std::string text;
    for (const std::vector<uint8_t>& report : reports) {
        text += "[" + std::to_string(report.size()) + " bytes:";
        for (std::size_t i = 0; i < report.size(); ++i)
            if (report[i] != 0)
                text += " " + std::to_string(i) + "=" + std::to_string(report[i]);
        text += "] ";
    }
    return text;
}

// What a `set --os2-length 9` or the panel's save of that length sends: read-backs (command 1
// on the block as read, then the block it read sent back: all zeros here, command 0) and, once,
// the block with the length and command 2.
void ExpectReadBacksAndOneSave(const std::vector<std::vector<uint8_t>>& reports,
                               const std::vector<uint8_t>& save) {
    int saves = 0;
    for (const std::vector<uint8_t>& report : reports) {
        if (report.size() == reportBytes && report[commandByte] == 2) {
            ++saves;
            EXPECT_EQ(report, save) << Described(reports);
        } else if (report != Report(0)) {
            EXPECT_EQ(report, Report(1)) << Described(reports);
        }
    }
    EXPECT_EQ(saves, 1) << Described(reports);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front(), Report(1)) << "no read-back before the save: " << Described(reports);
}

void PlugAndRecord(UsbGadget& gadget, SetReportRecorder& recorder) {
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    ASSERT_TRUE(UdevRecorded(gadget.waitForHidraw(kernelTimeoutMs))) << "udevd has no record";
    const std::string function = gadget.functionNode();
    ASSERT_TRUE(waitUntil(kernelTimeoutMs, [&] { return std::filesystem::exists(function); }));
    ASSERT_TRUE(recorder.start(function, error)) << error;
}

} // namespace

TEST(WineOnKernel, TheToolListsReadsAndSetsTheUsbUnitThroughWinesStack) {
    UsbGadget gadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
    // A HID device with the joined name but no USB device above it: not a unit.
    UhidUnit uhid{{0x7A5E, 0x0C01, 0x0213, "Mirdal-vk Tarvenik", "wine-test"}};
    SetReportRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(PlugAndRecord(gadget, recorder));
    std::string error;
    ASSERT_TRUE(uhid.plugIn(error)) << error;
    ASSERT_TRUE(UdevRecorded(uhid.waitForHidraw(kernelTimeoutMs))) << "udevd has no record";
    const TWineServer server;

    const QJsonArray units = WaitForUnits(1);
    ASSERT_EQ(units.size(), 1) << "wine's stack did not offer the unit";
    const QJsonObject unit = units[0].toObject();
    EXPECT_EQ(unit["manufacturer"].toString(), "Mirdal-vk");
    EXPECT_EQ(unit["product"].toString(), "Tarvenik");
    EXPECT_EQ(unit["serial"].toString(), "0003");
    EXPECT_TRUE(unit["chosen"].toBool());
    EXPECT_TRUE(unit["path"].toString().contains("vid_1209&pid_7a50", Qt::CaseInsensitive))
        << unit["path"].toString().toStdString();

    TCommandResult r = RunWine("tarvenik-cli.exe read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).object();
    EXPECT_EQ(json["serial"].toString(), "0003");
    EXPECT_EQ(json["raw"].toArray().size(), 250);
    EXPECT_EQ(json["scale"].toInt(), 64);
    EXPECT_TRUE(recorder.next(0).empty()) << "a read sent a report";

    // set: the read-back (command 1 on the block as read, and the block sent back), the block
    // with the one parameter changed and command 2, and the read-back that checks it. The
    // gadget's zeros do not keep 9.
    r = RunWine("tarvenik-cli.exe set --os2-length 9");
    EXPECT_EQ(r.Status, 1) << r.Err;
    EXPECT_NE(r.Err.find("did not keep"), std::string::npos) << r.Err;
    const std::vector<std::vector<uint8_t>> reports = Received(recorder);
    ExpectReadBacksAndOneSave(reports, Report(2, os2LengthByte, 9));
    EXPECT_EQ(reports,
              (std::vector<std::vector<uint8_t>>{Report(1), Report(0), Report(2, os2LengthByte, 9),
                                                 Report(1), Report(0)}))
        << Described(reports);
    EXPECT_TRUE(uhid.getRequests().empty()) << "the uhid device was asked for its report";
}

TEST(WineOnKernel, TwoUnitsAreToldApartBySerialAndASetReachesOnlyTheChosenOne) {
    UsbGadget first{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0001", 0}};
    UsbGadget second{{0x1209, 0x7A51, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0002", 1}};
    SetReportRecorder firstRecorder;
    SetReportRecorder secondRecorder;
    ASSERT_NO_FATAL_FAILURE(PlugAndRecord(first, firstRecorder));
    ASSERT_NO_FATAL_FAILURE(PlugAndRecord(second, secondRecorder));
    const TWineServer server;

    const QJsonArray units = WaitForUnits(2);
    ASSERT_EQ(units.size(), 2) << "wine's stack did not offer both units";
    QStringList serials{units[0].toObject()["serial"].toString(),
                        units[1].toObject()["serial"].toString()};
    serials.sort();
    EXPECT_EQ(serials, (QStringList{"TV-0001", "TV-0002"}));

    const TCommandResult r = RunWine("tarvenik-cli.exe --serial TV-0002 set --os2-length 9");
    EXPECT_EQ(r.Status, 1) << r.Err;
    ExpectReadBacksAndOneSave(Received(secondRecorder), Report(2, os2LengthByte, 9));
    EXPECT_TRUE(firstRecorder.next(1000).empty()) << "a report went to the unit not chosen";
}

// The panel off screen, driven by the package probe as a user would drive it: it connects, reads
// the parameters back, polls (the history counts the polls), and saves an edited OS2 length.
// Then the unit is unplugged and plugged in again, and the tool sees it go and come back.
TEST(WineOnKernel, ThePanelConnectsPollsAndSavesAndAReplugIsSeen) {
    UsbGadget gadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
    SetReportRecorder recorder;
    ASSERT_NO_FATAL_FAILURE(PlugAndRecord(gadget, recorder));
    const TWineServer server;
    ASSERT_EQ(WaitForUnits(1).size(), 1) << "wine's stack did not offer the unit";

    const TCommandResult r =
        RunWine("WINEQT_QPA_GENERIC_PLUGINS=tarvenikprobe TARVENIK_PROBE=unit "
                "TARVENIK_PROBE_LANGUAGE=en TARVENIK_PROBE_SECONDS=200 tarvenik.exe");
    EXPECT_EQ(r.Status, 0) << r.Err;
    EXPECT_NE(r.Err.find("package-probe: PASS unit"), std::string::npos) << r.Err;
    // The read-back on connecting, then the save with the edited byte and command 2 (the other
    // parameter bytes are the unit's own, as the fields were not edited), and the read-backs of
    // a save the unit did not keep.
    ExpectReadBacksAndOneSave(Received(recorder), Report(2, os2LengthByte, 9));

    gadget.unplug();
    EXPECT_EQ(WaitForUnits(0).size(), 0) << "the unplug did not reach wine's stack";
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    ASSERT_TRUE(UdevRecorded(gadget.waitForHidraw(kernelTimeoutMs))) << "udevd has no record";
    const QJsonArray back = WaitForUnits(1);
    ASSERT_EQ(back.size(), 1) << "the unit plugged in again did not reach wine's stack";
    EXPECT_EQ(back[0].toObject()["serial"].toString(), "0003");
    EXPECT_EQ(RunWine("tarvenik-cli.exe read --json").Status, 0);
}
