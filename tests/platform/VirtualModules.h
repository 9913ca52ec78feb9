#pragma once
// Loads the module pair beside the test program, as the program itself does,
// and resolves every export the contract names.

#include "platform/virtual/VirtualUnitControl.h"
#include "tests/support/ServiceModules.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <cerrno>

#include <string>
#include <vector>

namespace testsupport {

// Every export of both modules, named as exported (exports.HidD_GetFeature, ...).
struct ModuleExports : THidServices, TSetupServices {
    void* hid = nullptr;
    void* setup = nullptr;
};

// The Windows error code a module's failed call left: GetLastError on Windows, errno on Linux.
inline int moduleError() {
#ifdef _WIN32
    return static_cast<int>(GetLastError());
#else
    return errno;
#endif
}

#ifdef _WIN32
inline void* openModule(const std::string& file) {
    return LoadLibraryExW(std::wstring(file.begin(), file.end()).c_str(), nullptr,
                          LOAD_WITH_ALTERED_SEARCH_PATH);
}
inline std::string loadError() {
    return "error " + std::to_string(GetLastError());
}
const char* const kHidModule = "\\hidsvc.dll";
const char* const kSetupModule = "\\setupsvc.dll";
#else
inline void* openModule(const std::string& file) {
    return dlopen(file.c_str(), RTLD_NOW);
}
inline std::string loadError() {
    const char* reason = dlerror();
    return reason != nullptr ? reason : "";
}
const char* const kHidModule = "/libhidsvc.so";
const char* const kSetupModule = "/libsetupsvc.so";
#endif

inline ModuleExports loadModuleExports() {
    ModuleExports m;
    const std::string folder = platform::ProgramFolder();
    m.setup = openModule(folder + kSetupModule);
    m.hid = openModule(folder + kHidModule);
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
            EXPECT_EQ(moduleError(), ERROR_NO_MORE_ITEMS);
            break;
        }
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        DWORD required = 0;
        EXPECT_FALSE(m.SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &info));
        EXPECT_EQ(moduleError(), ERROR_INSUFFICIENT_BUFFER);
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

#ifdef _WIN32
// The open flags the tests name, read as the access CreateFileA asks for.
#ifndef O_PATH
#define O_PATH 0x200000
#endif
#ifndef O_NONBLOCK
#define O_NONBLOCK 0x800
#endif

// Opens a device path with CreateFileA, closing it at the end of scope.
class OpenNode {
public:
    OpenNode(const std::string& path, int flags) {
        DWORD access = GENERIC_READ;
        if ((flags & O_PATH) != 0)
            access = 0;
        else if ((flags & O_ACCMODE) == O_RDWR)
            access = GENERIC_READ | GENERIC_WRITE;
        handle_ = CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    }
    ~OpenNode() {
        if (valid())
            CloseHandle(handle_);
    }
    OpenNode(const OpenNode&) = delete;
    OpenNode& operator=(const OpenNode&) = delete;
    bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE handle() const { return handle_; }

private:
    HANDLE handle_;
};
#else
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
    bool valid() const { return fd_ >= 0; }
    int fd() const { return fd_; }
    HANDLE handle() const { return asHandle(fd_); }

private:
    int fd_;
};
#endif

} // namespace testsupport
