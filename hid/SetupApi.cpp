#include "hid/SetupApi.h"

#include "hid/ModuleLoader.h"

namespace SetupApi {

TSetupDiGetClassDevsA SetupDiGetClassDevsA = nullptr;
TSetupDiGetClassDevsA SetupDiGetClassDevs = nullptr;
TSetupDiEnumDeviceInterfaces SetupDiEnumDeviceInterfaces = nullptr;
TSetupDiGetDeviceInterfaceDetailA SetupDiGetDeviceInterfaceDetailA = nullptr;
TSetupDiGetDeviceInterfaceDetailA SetupDiGetDeviceInterfaceDetail = nullptr;
TSetupDiDestroyDeviceInfoList SetupDiDestroyDeviceInfoList = nullptr;
#ifndef _WIN32
TDevNodeNotifyOpen DevNodeNotifyOpen = nullptr;
TDevNodeNotifyRead DevNodeNotifyRead = nullptr;
TDevNodeNotifyClose DevNodeNotifyClose = nullptr;
#endif

namespace {

ModuleLoader::TModuleHandle module;
int useCount = 0;

bool resolveAll() {
    bool ok = true;
    using ModuleLoader::ResolveEntry;
    ResolveEntry(module, SetupDiGetClassDevsA, "SetupDiGetClassDevsA", ok);
    ResolveEntry(module, SetupDiGetClassDevs, "SetupDiGetClassDevsA", ok);
    ResolveEntry(module, SetupDiEnumDeviceInterfaces, "SetupDiEnumDeviceInterfaces", ok);
    ResolveEntry(module, SetupDiGetDeviceInterfaceDetailA, "SetupDiGetDeviceInterfaceDetailA", ok);
    ResolveEntry(module, SetupDiGetDeviceInterfaceDetail, "SetupDiGetDeviceInterfaceDetailA", ok);
    ResolveEntry(module, SetupDiDestroyDeviceInfoList, "SetupDiDestroyDeviceInfoList", ok);
#ifndef _WIN32
    ResolveEntry(module, DevNodeNotifyOpen, "DevNodeNotifyOpen", ok);
    ResolveEntry(module, DevNodeNotifyRead, "DevNodeNotifyRead", ok);
    ResolveEntry(module, DevNodeNotifyClose, "DevNodeNotifyClose", ok);
#endif
    return ok;
}

void nullAll() {
    SetupDiGetClassDevsA = nullptr;
    SetupDiGetClassDevs = nullptr;
    SetupDiEnumDeviceInterfaces = nullptr;
    SetupDiGetDeviceInterfaceDetailA = nullptr;
    SetupDiGetDeviceInterfaceDetail = nullptr;
    SetupDiDestroyDeviceInfoList = nullptr;
#ifndef _WIN32
    DevNodeNotifyOpen = nullptr;
    DevNodeNotifyRead = nullptr;
    DevNodeNotifyClose = nullptr;
#endif
}

} // namespace

bool AcquireSetupApi() {
    ++useCount;
    if (useCount > 1)
        return true;
    if (!ModuleLoader::OpenModule(module, "SetupApi.dll", "libsetupsvc.so")) {
        --useCount;
        return false;
    }
    if (!resolveAll()) {
        ReleaseSetupApi();
        return false;
    }
    return true;
}

void ReleaseSetupApi() {
    --useCount;
    if (useCount <= 0) {
        useCount = 0;
        ModuleLoader::CloseModule(module);
        nullAll();
    }
}

int SetupApiUseCount() {
    return useCount;
}

bool SetupApiLoaded() {
    return module.Loaded();
}

} // namespace SetupApi
