#pragma once
// Loads the module pair beside the test program, as the program itself does,
// and resolves every export the contract names.

#include "platform/virtual/VirtualUnitControl.h"
#include "tests/support/ServiceModules.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

// Every export of both modules, named as exported (exports.HidD_GetFeature, ...).
struct ModuleExports : THidServices, TSetupServices {
    void* hid = nullptr;
    void* setup = nullptr;
};

inline ModuleExports loadModuleExports() {
    ModuleExports m;
    const std::string folder = platform::ProgramFolder();
    m.setup = dlopen((folder + "/libsetupsvc.so").c_str(), RTLD_NOW);
    m.hid = dlopen((folder + "/libhidsvc.so").c_str(), RTLD_NOW);
    if (!m.setup || !m.hid)
        return m;
    std::string missing; // a test that needs an export finds its entry null
    ResolveServices(m.hid, static_cast<THidServices&>(m), missing);
    ResolveServices(m.setup, static_cast<TSetupServices&>(m), missing);
    return m;
}

struct ListedInterface {
    std::string path;
    DWORD devInst = 0;
};

// The scan as the program makes it: size query, then the detail.
inline std::vector<ListedInterface> listInterfaces(const ModuleExports& m) {
    std::vector<ListedInterface> list;
    GUID guid{};
    m.HidD_GetHidGuid(&guid);
    HDEVINFO set =
        m.SetupDiGetClassDevsA(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!m.SetupDiEnumDeviceInterfaces(set, nullptr, &guid, i, &data)) {
            EXPECT_EQ(errno, ERROR_NO_MORE_ITEMS);
            break;
        }
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        DWORD required = 0;
        EXPECT_FALSE(m.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &info));
        EXPECT_EQ(errno, ERROR_INSUFFICIENT_BUFFER);
        std::vector<char> block(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(
            m.SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, &required, &info));
        list.push_back({detail->DevicePath, info.DevInst});
    }
    EXPECT_TRUE(m.SetupDiDestroyDeviceInfoList(set));
    return list;
}

inline HANDLE asHandle(int fd) {
    return reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

// Opens a device path as CreateFileA does, closing it at the end of scope.
class OpenNode {
public:
    OpenNode(const std::string& path, int flags) : fd_(::open(path.c_str(), flags | O_CLOEXEC)) {}
    ~OpenNode() {
        if (fd_ >= 0)
            ::close(fd_);
    }
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;
    int fd() const { return fd_; }
    HANDLE handle() const { return asHandle(fd_); }

private:
    int fd_;
};

} // namespace testsupport
