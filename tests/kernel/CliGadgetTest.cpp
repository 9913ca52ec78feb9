// tarvenik-cli on a real kernel: the program from beside this test, with the Linux HID modules
// beside it, run as a child against a USB unit on the dummy host controller (which carries the
// unit's USB strings) and a uhid unit (whose HID device has no USB strings to find it by).

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
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <vector>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;

using TResult = TCommandResult;

std::string ToolPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tarvenik-cli")
        .string();
}

// Runs the tool to its end through the shell, collecting what it writes.
TResult RunTool(const std::string& arguments) {
    return runCommand(ToolPath() + " " + arguments, "/tmp/tarvenik-cli.err");
}

class CliOnKernel : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(ToolPath())) << ToolPath() << " is not there";
        std::string error;
        ASSERT_TRUE(gadget.plugIn(error)) << error;
        node = gadget.waitForHidraw(kernelTimeoutMs);
        ASSERT_FALSE(node.empty()) << "the USB device got no hidraw node";
        const std::string function = gadget.functionNode();
        ASSERT_TRUE(waitUntil(kernelTimeoutMs, [&] { return std::filesystem::exists(function); }));
        ASSERT_TRUE(recorder.start(function, error)) << error;
        ASSERT_TRUE(uhid.plugIn(error)) << error;
        uhidNode = uhid.waitForHidraw(kernelTimeoutMs);
        ASSERT_FALSE(uhidNode.empty()) << "the uhid unit got no hidraw node";
    }

    UsbGadget gadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
    UhidUnit uhid{{0x7A5E, 0x0C01, 0x0213, "Mirdal-vk Tarvenik", "cli-test"}};
    SetReportRecorder recorder;
    std::string node;
    std::string uhidNode;
};

} // namespace

TEST_F(CliOnKernel, ListShowsTheUsbUnitOnlyAndReadGivesItsBlockAsJson) {
    TResult r = RunTool("list");
    ASSERT_EQ(r.Status, 0) << r.Err;
    // The serial of the USB device, and its port on the dummy host (busnumber-port).
    const QStringList line = QString::fromStdString(r.Out).split('\t');
    ASSERT_EQ(line.size(), 7) << r.Out;
    EXPECT_EQ(line.mid(0, 6), (QStringList{QString::fromStdString(node), "Mirdal-vk", "Tarvenik",
                                           "1209:7a50", "read-write", "0003"}));
    EXPECT_TRUE(QRegularExpression("^\\d+-[\\d.]+\n$").match(line[6]).hasMatch()) << r.Out;

    r = RunTool("read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    QJsonParseError error{};
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.Out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.Out;
    // This kernel's f_hid answers a get request with zeros: scale byte 0 stands for 64.
    const QJsonArray raw = json["raw"].toArray();
    ASSERT_EQ(raw.size(), 250);
    for (const QJsonValue& byte : raw)
        EXPECT_EQ(byte.toInt(-1), 0);
    EXPECT_EQ(json["scale"].toInt(), 64);
    EXPECT_EQ(json["samples_a"].toArray().size(), 117);
    EXPECT_FALSE(json["time"].toString().isEmpty());
    EXPECT_TRUE(recorder.next(0).empty()) << "a read sent a report";

    // params: command 1 on the block as read, through the kernel to the device.
    r = RunTool("params");
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::vector<uint8_t> command(251, 0);
    command[249] = 1;
    EXPECT_EQ(recorder.next(kernelTimeoutMs), command);
}

TEST_F(CliOnKernel, AHidDeviceWithoutTheUnitsUsbStringsIsNotTaken) {
    const TResult r = RunTool("--device " + uhidNode + " read --json");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "tarvenik-cli: no Tarvenik unit found at " + uhidNode + "\n");
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(uhid.getRequests().empty());
}

namespace {

QJsonObject JsonOf(const TResult& r) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).object();
}

} // namespace

// Two units with the same strings, each on its own port of the dummy host, told apart by serial.
TEST(CliOnKernelTwoUnits, EachIsListedWithItsSerialAndReadBySerial) {
    ASSERT_TRUE(std::filesystem::exists(ToolPath())) << ToolPath() << " is not there";
    UsbGadget first{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0001", 0}};
    UsbGadget second{{0x1209, 0x7A51, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0002", 1}};
    std::string error;
    ASSERT_TRUE(first.plugIn(error)) << error;
    ASSERT_TRUE(second.plugIn(error)) << error;
    const std::string firstNode = first.waitForHidraw(kernelTimeoutMs);
    const std::string secondNode = second.waitForHidraw(kernelTimeoutMs);
    ASSERT_FALSE(firstNode.empty());
    ASSERT_FALSE(secondNode.empty());

    TResult r = RunTool("list --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QJsonArray units = QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).array();
    ASSERT_EQ(units.size(), 2) << r.Out;
    QStringList locations;
    for (const QJsonValue& unit : units) {
        const std::string path = unit["path"].toString().toStdString();
        EXPECT_EQ(unit["serial"].toString().toStdString(),
                  path == firstNode ? "TV-0001" : "TV-0002");
        locations << unit["location"].toString();
    }
    EXPECT_NE(locations[0], locations[1]);
    EXPECT_FALSE(locations[0].isEmpty());

    for (const char* serial : {"TV-0001", "TV-0002"}) {
        r = RunTool(std::string("--serial ") + serial + " read --json");
        ASSERT_EQ(r.Status, 0) << serial << ": " << r.Err;
        const QJsonObject json = JsonOf(r);
        EXPECT_EQ(json["serial"].toString(), serial);
        EXPECT_TRUE(locations.contains(json["location"].toString())) << r.Out;
        EXPECT_EQ(json["raw"].toArray().size(), 250);
    }
    // A unit by where it is plugged in.
    r = RunTool("--location " + locations[1].toStdString() + " read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(JsonOf(r)["location"].toString(), locations[1]);
    EXPECT_EQ(JsonOf(r)["serial"].toString(), units[1]["serial"].toString());
    r = RunTool("--serial TV-0003 read");
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "tarvenik-cli: no Tarvenik unit with serial TV-0003\n");
}
