// The kernel side of the uhid unit, without the HID modules: what hidraw
// gives for the firmware this program plays. When these fail the kernel or the
// harness is at fault, not the modules.

#include "support/Sysfs.h"
#include "support/UhidUnit.h"
#include "support/UnitReport.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/hidraw.h>
#include <linux/uhid.h>
#include <sys/ioctl.h>
#include <unistd.h>

using namespace kerneltest;

namespace {

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

UhidIdentity rawIdentity() {
    return {0x7A5E, 0x0E01, 0x0100, "Raw unit", "raw-unit"};
}

} // namespace

TEST(UhidFirmware, FeatureReportsKeepTheReportIdInByteZeroBothWays) {
    UhidUnit unit(rawIdentity());
    std::string error;
    ASSERT_TRUE(unit.plugIn(error)) << error;
    const std::string node = unit.waitForHidraw(10000);
    ASSERT_FALSE(node.empty()) << "no hidraw node (is hid-generic loaded?)";
    Fd hidraw(::open(node.c_str(), O_RDWR | O_CLOEXEC));
    ASSERT_GE(hidraw.get(), 0);

    std::vector<uint8_t> buffer(featureReportLength, 0);
    ASSERT_EQ(ioctl(hidraw.get(), HIDIOCGFEATURE(featureReportLength), buffer.data()),
              static_cast<int>(featureReportLength));
    EXPECT_EQ(buffer, unit.lastGetReply());
    ASSERT_EQ(unit.getRequests().size(), 1u);
    EXPECT_EQ(unit.getRequests()[0].number, 0);
    EXPECT_EQ(unit.getRequests()[0].type, UHID_FEATURE_REPORT);

    const auto sent = patternedReport(500);
    auto outgoing = sent;
    ASSERT_EQ(ioctl(hidraw.get(), HIDIOCSFEATURE(featureReportLength), outgoing.data()),
              static_cast<int>(featureReportLength));
    ASSERT_EQ(unit.setRequests().size(), 1u);
    EXPECT_EQ(unit.setRequests()[0].data, sent);

    unit.unplug();
    EXPECT_EQ(ioctl(hidraw.get(), HIDIOCGFEATURE(featureReportLength), buffer.data()), -1);
    EXPECT_EQ(errno, ENODEV);
}

TEST(UhidFirmware, EveryNewUnitGetsAHigherSysfsInstance) {
    auto instanceOf = [](const std::string& name) {
        const auto dot = name.rfind('.');
        return dot == std::string::npos ? -1 : std::stoi(name.substr(dot + 1), nullptr, 16);
    };
    std::string error;
    int first = -1;
    {
        UhidUnit unit(rawIdentity());
        ASSERT_TRUE(unit.plugIn(error)) << error;
        ASSERT_FALSE(unit.waitForHidraw(10000).empty());
        first = instanceOf(unit.sysfsName());
    }
    UhidUnit again(rawIdentity());
    ASSERT_TRUE(again.plugIn(error)) << error;
    ASSERT_FALSE(again.waitForHidraw(10000).empty());
    EXPECT_GT(instanceOf(again.sysfsName()), first);
    EXPECT_GE(first, 1);
}
