// The Windows programs under wine on a real kernel, in a Debian root with wine installed as
// Debian ships it: wine's own HID stack (winebus.sys, which finds hidraw devices through libudev,
// then hidclass.sys, hid.dll and setupapi.dll) against USB units on the dummy host controller,
// with their real USB strings. run-wine starts a program of the deployed Windows folder there.

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
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace kerneltest;

namespace {

constexpr int kernelTimeoutMs = 15000;
// A run that hangs is ended after this long, so that what wine wrote still shows.
constexpr int runSeconds = 240;
// How much of wine's diagnostics one run shows on the console.
constexpr std::size_t shownErrorBytes = 16000;

struct TResult {
    int Status = -1;
    std::string Out;
    std::string Err;
};

// Runs tarvenik-cli.exe under wine to its end, collecting what it writes, and shows how long it
// took and what wine said on its standard error.
TResult RunCli(const std::string& arguments) {
    const std::string errors = "/tmp/wine-cli.err";
    const auto started = std::chrono::steady_clock::now();
    FILE* pipe = popen(("timeout " + std::to_string(runSeconds) + " run-wine tarvenik-cli.exe " +
                        arguments + " 2>" + errors)
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

QJsonObject JsonOf(const TResult& r) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).object();
}

// Ends what wine left running, so that the next test starts it afresh with its units.
void StopWine() {
    std::system("chroot /winroot /usr/bin/env WINEPREFIX=/wine/prefix /usr/lib/wine/wineserver -k 2>/dev/null");
}

} // namespace

TEST(WineOnKernel, TheToolListsTheUsbUnitAndReadsItsBlock) {
    UsbGadget gadget{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "0003"}};
    // A HID device with no USB strings beside it, which is not to be taken for a unit.
    UhidUnit uhid{{0x7A5E, 0x0C01, 0x0213, "Mirdal-vk Tarvenik", "wine-test"}};
    std::string error;
    ASSERT_TRUE(gadget.plugIn(error)) << error;
    ASSERT_FALSE(gadget.waitForHidraw(kernelTimeoutMs).empty()) << "the USB device got no hidraw";
    ASSERT_TRUE(uhid.plugIn(error)) << error;
    ASSERT_FALSE(uhid.waitForHidraw(kernelTimeoutMs).empty()) << "the uhid unit got no hidraw";

    TResult r = RunCli("list");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QStringList lines = QString::fromStdString(r.Out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << r.Out;
    const QStringList line = lines[0].trimmed().split('\t');
    ASSERT_GE(line.size(), 6) << r.Out;
    EXPECT_EQ(line.mid(1, 5),
              (QStringList{"Mirdal-vk", "Tarvenik", "1209:7a50", "read-write", "0003"}));

    r = RunCli("read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QJsonObject json = JsonOf(r);
    // This kernel's f_hid answers a get request with zeros: scale byte 0 stands for 64.
    const QJsonArray raw = json["raw"].toArray();
    ASSERT_EQ(raw.size(), 250) << r.Out;
    for (const QJsonValue& byte : raw)
        EXPECT_EQ(byte.toInt(-1), 0);
    EXPECT_EQ(json["scale"].toInt(), 64);
    EXPECT_EQ(json["serial"].toString(), "0003");
    EXPECT_TRUE(uhid.getRequests().empty()) << "the uhid device was asked for its report";
    StopWine();
}

// Two units with the same strings, each on its own device controller of the dummy host.
TEST(WineOnKernel, TwoUnitsAreToldApartBySerialAndByLocation) {
    UsbGadget first{{0x1209, 0x7A50, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0001", 0}};
    UsbGadget second{{0x1209, 0x7A51, 0x0107, "Mirdal-vk", "Tarvenik", "TV-0002", 1}};
    std::string error;
    ASSERT_TRUE(first.plugIn(error)) << error;
    ASSERT_TRUE(second.plugIn(error)) << error;
    ASSERT_FALSE(first.waitForHidraw(kernelTimeoutMs).empty());
    ASSERT_FALSE(second.waitForHidraw(kernelTimeoutMs).empty());

    TResult r = RunCli("list --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    const QJsonArray units = QJsonDocument::fromJson(QByteArray::fromStdString(r.Out)).array();
    ASSERT_EQ(units.size(), 2) << r.Out;
    QStringList serials;
    QStringList locations;
    for (const QJsonValue& unit : units) {
        serials << unit["serial"].toString();
        locations << unit["location"].toString();
    }
    serials.sort();
    EXPECT_EQ(serials, (QStringList{"TV-0001", "TV-0002"}));

    for (const char* serial : {"TV-0001", "TV-0002"}) {
        r = RunCli(std::string("--serial ") + serial + " read --json");
        ASSERT_EQ(r.Status, 0) << serial << ": " << r.Err;
        EXPECT_EQ(JsonOf(r)["serial"].toString(), serial);
        EXPECT_EQ(JsonOf(r)["raw"].toArray().size(), 250);
    }
    // Where each is plugged in, as wine's SetupApi tells it.
    ASSERT_FALSE(locations[0].isEmpty()) << r.Out;
    ASSERT_NE(locations[0], locations[1]);
    r = RunCli("--location " + locations[1].toStdString() + " read --json");
    ASSERT_EQ(r.Status, 0) << r.Err;
    EXPECT_EQ(JsonOf(r)["location"].toString(), locations[1]);
    EXPECT_EQ(JsonOf(r)["serial"].toString(), units[1]["serial"].toString());
    StopWine();
}
