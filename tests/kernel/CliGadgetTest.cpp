// tarvenik-cli on a real kernel: the program from beside this test, with the Linux HID modules
// beside it, run as a child against a USB unit on the dummy host controller (which carries the
// unit's USB strings) and a uhid unit (whose HID device has no USB strings to find it by).

#include "support/SetReportRecorder.h"
#include "support/Sysfs.h"
#include "support/UhidUnit.h"
#include "support/UsbGadget.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;

struct TResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

std::string ToolPath() {
    return (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "tarvenik-cli")
        .string();
}

// Runs the tool to its end, collecting what it writes.
TResult RunTool(const std::vector<std::string>& arguments) {
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return {};
    const std::string program = ToolPath();
    const pid_t child = fork();
    if (child == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    TResult result;
    pollfd watch[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
    std::string* target[2] = {&result.Out, &result.Err};
    int open = 2;
    while (open > 0 && poll(watch, 2, kernelTimeoutMs) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (watch[i].fd < 0 || watch[i].revents == 0)
                continue;
            char buffer[4096];
            const ssize_t n = read(watch[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                target[i]->append(buffer, static_cast<std::size_t>(n));
            } else {
                close(watch[i].fd);
                watch[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
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
    TResult r = RunTool({"list"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(r.Out, node + "\tMirdal-vk\tTarvenik\t1209:7a50\tread-write\n");

    r = RunTool({"read", "--json"});
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
    r = RunTool({"params"});
    ASSERT_EQ(r.Status, 0) << r.Err;
    std::vector<uint8_t> command(251, 0);
    command[249] = 1;
    EXPECT_EQ(recorder.next(kernelTimeoutMs), command);
}

TEST_F(CliOnKernel, AHidDeviceWithoutTheUnitsUsbStringsIsNotTaken) {
    const TResult r = RunTool({"--device", uhidNode, "read", "--json"});
    EXPECT_EQ(r.Status, 1);
    EXPECT_EQ(r.Err, "tarvenik-cli: no Tarvenik unit found at " + uhidNode + "\n");
    EXPECT_EQ(r.Out, "");
    EXPECT_TRUE(uhid.getRequests().empty());
}
