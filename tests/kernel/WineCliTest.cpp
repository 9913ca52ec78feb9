// The Windows tarvenik-cli under wine on a real kernel: wine's own HID stack (winebus.sys, which
// finds hidraw devices through libudev, then hidclass.sys, hid.dll and setupapi.dll) against a
// USB unit on the dummy host controller, with its real USB strings. Wine and the tool come from
// the archive make-wine-image makes; /wine/run-cli runs the tool. The unit is plugged before
// wine first starts: without udevd no hotplug event reaches wine's bus.

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
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <sys/wait.h>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;
constexpr const char* runner = "/wine/run-cli";
// A run that hangs is ended after this long, so that what it wrote still shows.
constexpr int runSeconds = 120;
// How much of wine's diagnostics one run shows on the console.
constexpr std::size_t shownErrorBytes = 64000;

struct TResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs the tool under wine to its end, collecting what it writes, and shows how long it took
// and what wine said on its standard error.
TResult RunUnderWine(const std::string& arguments) {
    const std::string errors = "/tmp/wine-cli.err";
    const auto started = std::chrono::steady_clock::now();
    FILE* pipe = popen(
        ("timeout " + std::to_string(runSeconds) + " " + runner + " " + arguments + " 2>" + errors)
            .c_str(),
        "r");
    if (pipe == nullptr)
        return {};
    TResult result;
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.Out.append(buffer, n);
    const int status = pclose(pipe);
    result.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.Err = readText(errors);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - started);
    std::cout << "wine tarvenik-cli " << arguments << ": exit " << result.Status << " after "
              << took.count() << " ms\n"
              << result.Out << result.Err.substr(0, shownErrorBytes) << std::endl;
    return result;
}

} // namespace

TEST(WineCliOnKernel, WinesHidBusFindsTheUsbUnitAndReadsItsBlock) {
    ASSERT_TRUE(std::filesystem::exists(runner)) << runner << " is not there";
    UsbGadget gadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
    // A HID device with no USB strings beside it, which is not to be taken for a unit.
    UhidUnit uhid{{0x7A5E, 0x0C01, 0x0213, "Mirdal-vk Tarvenik", "wine-test"}};
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    ASSERT_FALSE(gadget.waitForHidraw(kernelTimeoutMs).empty()) << "the USB device got no hidraw";
    ASSERT_TRUE(uhid.plugIn(error)) << error;
    ASSERT_FALSE(uhid.waitForHidraw(kernelTimeoutMs).empty()) << "the uhid unit got no hidraw";

    TResult r = RunUnderWine("list");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QStringList lines = QString::fromStdString(r.Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << r.Out;
    const QStringList line = lines[0].split('\t');
    ASSERT_GE(line.size(), 6) << r.Out;
    EXPECT_EQ(line.mid(1, 5),
              (QStringList{"Mirdal-vk", "Tarvenik", "1209:7a50", "read-write", "0003"}));

    r = RunUnderWine("read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    QJsonParseError parse{};
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.Out), &parse).object();
    ASSERT_EQ(parse.error, QJsonParseError::NoError) << r.Out;
    // This kernel's f_hid answers a get request with zeros: scale byte 0 stands for 64.
    const QJsonArray raw = json["raw"].toArray();
    ASSERT_EQ(raw.size(), 250);
    for (const QJsonValue& byte : raw)
        EXPECT_EQ(byte.toInt(-1), 0);
    EXPECT_EQ(json["scale"].toInt(), 64);
    EXPECT_EQ(json["serial"].toString(), "0003");
}
