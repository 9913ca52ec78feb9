#pragma once
// Loads the module pair beside the test program, as the program itself does,
// and resolves every export the contract names.

#include "platform/hidraw/ServiceExports.h"
#include "platform/virtual/VirtualUnitControl.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace testsupport {

struct ModuleExports {
    void* hid = nullptr;
    void* setup = nullptr;
    decltype(&HidD_GetHidGuid) GetHidGuid = nullptr;
    decltype(&HidD_GetAttributes) GetAttributes = nullptr;
    decltype(&HidD_GetManufacturerString) GetManufacturerString = nullptr;
    decltype(&HidD_GetProductString) GetProductString = nullptr;
    decltype(&HidD_GetSerialNumberString) GetSerialNumberString = nullptr;
    decltype(&HidD_GetPreparsedData) GetPreparsedData = nullptr;
    decltype(&HidD_FreePreparsedData) FreePreparsedData = nullptr;
    decltype(&HidP_GetCaps) GetCaps = nullptr;
    decltype(&HidD_GetFeature) GetFeature = nullptr;
    decltype(&HidD_SetFeature) SetFeature = nullptr;
    decltype(&HidD_FlushQueue) FlushQueue = nullptr;
    decltype(&SetupDiGetClassDevsA) GetClassDevs = nullptr;
    decltype(&SetupDiEnumDeviceInterfaces) EnumInterfaces = nullptr;
    decltype(&SetupDiGetDeviceInterfaceDetailA) GetDetail = nullptr;
    decltype(&SetupDiDestroyDeviceInfoList) DestroyList = nullptr;
    decltype(&DevNodeNotifyOpen) NotifyOpen = nullptr;
    decltype(&DevNodeNotifyRead) NotifyRead = nullptr;
    decltype(&DevNodeNotifyClose) NotifyClose = nullptr;
};

inline ModuleExports loadModuleExports() {
    ModuleExports m;
    const std::string folder = virtualunit::programFolder();
    m.setup = dlopen((folder + "/libsetupsvc.so").c_str(), RTLD_NOW);
    m.hid = dlopen((folder + "/libhidsvc.so").c_str(), RTLD_NOW);
    if (!m.setup || !m.hid)
        return m;
    auto bind = [](void* module, auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(dlsym(module, name));
    };
    bind(m.hid, m.GetHidGuid, "HidD_GetHidGuid");
    bind(m.hid, m.GetAttributes, "HidD_GetAttributes");
    bind(m.hid, m.GetManufacturerString, "HidD_GetManufacturerString");
    bind(m.hid, m.GetProductString, "HidD_GetProductString");
    bind(m.hid, m.GetSerialNumberString, "HidD_GetSerialNumberString");
    bind(m.hid, m.GetPreparsedData, "HidD_GetPreparsedData");
    bind(m.hid, m.FreePreparsedData, "HidD_FreePreparsedData");
    bind(m.hid, m.GetCaps, "HidP_GetCaps");
    bind(m.hid, m.GetFeature, "HidD_GetFeature");
    bind(m.hid, m.SetFeature, "HidD_SetFeature");
    bind(m.hid, m.FlushQueue, "HidD_FlushQueue");
    bind(m.setup, m.GetClassDevs, "SetupDiGetClassDevsA");
    bind(m.setup, m.EnumInterfaces, "SetupDiEnumDeviceInterfaces");
    bind(m.setup, m.GetDetail, "SetupDiGetDeviceInterfaceDetailA");
    bind(m.setup, m.DestroyList, "SetupDiDestroyDeviceInfoList");
    bind(m.setup, m.NotifyOpen, "DevNodeNotifyOpen");
    bind(m.setup, m.NotifyRead, "DevNodeNotifyRead");
    bind(m.setup, m.NotifyClose, "DevNodeNotifyClose");
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
    m.GetHidGuid(&guid);
    HDEVINFO set = m.GetClassDevs(&guid, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    EXPECT_NE(set, INVALID_HANDLE_VALUE);
    for (DWORD i = 0;; ++i) {
        SP_DEVICE_INTERFACE_DATA data{};
        data.cbSize = sizeof data;
        if (!m.EnumInterfaces(set, nullptr, &guid, i, &data)) {
            EXPECT_EQ(errno, ERROR_NO_MORE_ITEMS);
            break;
        }
        SP_DEVINFO_DATA info{};
        info.cbSize = sizeof info;
        DWORD required = 0;
        EXPECT_FALSE(m.GetDetail(set, &data, nullptr, 0, &required, &info));
        EXPECT_EQ(errno, ERROR_INSUFFICIENT_BUFFER);
        std::vector<char> block(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(block.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        EXPECT_TRUE(m.GetDetail(set, &data, detail, required, &required, &info));
        list.push_back({detail->DevicePath, info.DevInst});
    }
    EXPECT_TRUE(m.DestroyList(set));
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
