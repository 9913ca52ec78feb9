// The Linux module pair loaded from beside the test, as the program loads it.
// This machine may have no hidraw device at all: what is checked here is
// what holds with or without one. Real devices are tried in the kernel tests.

#include "platform/hidraw/NodeMonitor.h"
#include "VirtualModules.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

class HidrawModules : public ::testing::Test {
protected:
    static void SetUpTestSuite() { exports = loadModuleExports(); }
    void SetUp() override { ASSERT_NE(exports.hid, nullptr) << dlerror(); }
    inline static ModuleExports exports;
};

TEST_F(HidrawModules, ScanListsOnlyHidrawNodes) {
    for (const auto& listed : listInterfaces(exports)) {
        EXPECT_EQ(listed.path.rfind("/dev/hidraw", 0), 0u) << listed.path;
        EXPECT_NE(listed.devInst, 0u);
    }
    GUID guid{};
    exports.HidD_GetHidGuid(&guid);
    HDEVINFO set = exports.SetupDiGetClassDevsA(&guid, nullptr, nullptr, 0x12);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = 28;
    EXPECT_FALSE(exports.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, 0, &data));
    EXPECT_EQ(errno, ERROR_INVALID_USER_BUFFER);
    EXPECT_TRUE(exports.SetupDiDestroyDeviceInfoList(set));
}

TEST_F(HidrawModules, OtherFilesAreRefusedWithoutBeingTouched) {
    OpenNode null("/dev/null", O_RDWR);
    ASSERT_GE(null.fd(), 0);
    char path[] = "/tmp/hidraw-plain-XXXXXX";
    const int plainFd = mkstemp(path);
    ASSERT_GE(plainFd, 0);
    unlink(path);
    int closedFd = dup(plainFd);
    close(closedFd);

    for (HANDLE h : {null.handle(), asHandle(plainFd), asHandle(closedFd), INVALID_HANDLE_VALUE,
                     reinterpret_cast<HANDLE>(static_cast<intptr_t>(1) << 40)}) {
        HIDD_ATTRIBUTES attributes{};
        EXPECT_FALSE(exports.HidD_GetAttributes(h, &attributes));
        EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
        uint8_t report[252] = {};
        EXPECT_FALSE(exports.HidD_GetFeature(h, report, sizeof report));
        EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
        EXPECT_FALSE(exports.HidD_SetFeature(h, report, sizeof report));
        EXPECT_EQ(errno, ERROR_INVALID_HANDLE);
        uint16_t text[16];
        EXPECT_FALSE(exports.HidD_GetProductString(h, text, sizeof text));
        PHIDP_PREPARSED_DATA preparsed = nullptr;
        EXPECT_FALSE(exports.HidD_GetPreparsedData(h, &preparsed));
        EXPECT_FALSE(exports.HidD_FlushQueue(h));
    }
    struct stat st {};
    EXPECT_EQ(fstat(plainFd, &st), 0);
    EXPECT_EQ(st.st_size, 0) << "nothing was written into the plain file";
    close(plainFd);

    int notOurs = 0;
    EXPECT_FALSE(exports.HidD_FreePreparsedData(reinterpret_cast<PHIDP_PREPARSED_DATA>(&notOurs)));
    HIDP_CAPS caps{};
    EXPECT_EQ(exports.HidP_GetCaps(nullptr, &caps), HIDP_STATUS_INVALID_PREPARSED_DATA);
}

std::optional<unsigned> hidrawMajor() {
    std::ifstream devices("/proc/devices");
    std::string line;
    while (std::getline(devices, line)) {
        std::istringstream fields(line);
        unsigned major = 0;
        std::string name;
        if ((fields >> major >> name) && name == "hidraw")
            return major;
    }
    return std::nullopt;
}

TEST_F(HidrawModules, AHidrawNumberWithoutDeviceCountsAsUnplugged) {
    const auto major = hidrawMajor();
    if (!major)
        GTEST_SKIP() << "no hidraw driver in this kernel";
    unsigned minor = 250;
    while (minor > 200 &&
           fs::exists("/sys/dev/char/" + std::to_string(*major) + ":" + std::to_string(minor)))
        --minor;
    char folder[] = "/tmp/hidraw-node-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string node = std::string(folder) + "/hidraw";
    if (mknod(node.c_str(), S_IFCHR | 0600, makedev(*major, minor)) != 0) {
        rmdir(folder);
        GTEST_SKIP() << "no right to make device nodes here";
    }
    {
        OpenNode query(node, O_PATH); // opening for queries never reaches the driver
        ASSERT_GE(query.fd(), 0);
        HIDD_ATTRIBUTES attributes{};
        EXPECT_FALSE(exports.HidD_GetAttributes(query.handle(), &attributes));
        EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
        uint8_t report[252] = {};
        EXPECT_FALSE(exports.HidD_GetFeature(query.handle(), report, sizeof report));
        EXPECT_EQ(errno, ERROR_DEVICE_NOT_CONNECTED);
    }
    unlink(node.c_str());
    rmdir(folder);
}

TEST_F(HidrawModules, NotifierOpensReadsAndLeavesForeignDescriptorsAlone) {
    const int fd = exports.DevNodeNotifyOpen();
    if (fd < 0)
        GTEST_SKIP() << "no netlink uevent socket in this environment";
    EXPECT_GE(exports.DevNodeNotifyRead(fd), 0);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    EXPECT_EQ(exports.DevNodeNotifyRead(pipeFds[0]), -1);
    exports.DevNodeNotifyClose(pipeFds[0]);
    EXPECT_EQ(::write(pipeFds[1], "x", 1), 1);
    char c = 0;
    EXPECT_EQ(::read(pipeFds[0], &c, 1), 1) << "still open";
    close(pipeFds[0]);
    close(pipeFds[1]);
    exports.DevNodeNotifyClose(fd);
    EXPECT_EQ(exports.DevNodeNotifyRead(fd), -1) << "closed";
}

TEST(NodeMonitorSource, UdevWhenItsControlSocketExists) {
    char path[] = "/tmp/udev-control-XXXXXX";
    const int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    EXPECT_STREQ(hidmodules::monitorSource(path), "udev");
    unlink(path);
    EXPECT_STREQ(hidmodules::monitorSource(path), "kernel");
}

} // namespace
