#include "hid/Hid.h"

#include "hid/ModuleLoader.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace Hid {

THidD_GetHidGuid HidD_GetHidGuid = nullptr;
THidD_GetAttributes HidD_GetAttributes = nullptr;
THidD_GetString HidD_GetManufacturerString = nullptr;
THidD_GetString HidD_GetProductString = nullptr;
THidD_GetString HidD_GetSerialNumberString = nullptr;
THidD_GetPreparsedData HidD_GetPreparsedData = nullptr;
THidD_FreePreparsedData HidD_FreePreparsedData = nullptr;
THidP_GetCaps HidP_GetCaps = nullptr;
THidD_Report HidD_GetFeature = nullptr;
THidD_Report HidD_SetFeature = nullptr;
THidD_FlushQueue HidD_FlushQueue = nullptr;
THidD_Report HidD_GetInputReport = nullptr;
THidD_Report HidD_SetOutputReport = nullptr;

namespace {

ModuleLoader::TModuleHandle module;

// The input and output report calls exist from Windows XP (NT 5.1) on.
bool systemHasReportCalls() {
#ifdef _WIN32
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT && info.dwMajorVersion >= 5 &&
           info.dwMinorVersion >= 1;
#else
    return true;
#endif
}

bool resolveAll() {
    bool ok = true;
    using ModuleLoader::ResolveEntry;
    ResolveEntry(module, HidD_GetHidGuid, "HidD_GetHidGuid", ok);
    ResolveEntry(module, HidD_GetAttributes, "HidD_GetAttributes", ok);
    ResolveEntry(module, HidD_GetManufacturerString, "HidD_GetManufacturerString", ok);
    ResolveEntry(module, HidD_GetProductString, "HidD_GetProductString", ok);
    ResolveEntry(module, HidD_GetSerialNumberString, "HidD_GetSerialNumberString", ok);
    ResolveEntry(module, HidD_GetPreparsedData, "HidD_GetPreparsedData", ok);
    ResolveEntry(module, HidD_FreePreparsedData, "HidD_FreePreparsedData", ok);
    ResolveEntry(module, HidP_GetCaps, "HidP_GetCaps", ok);
    ResolveEntry(module, HidD_GetFeature, "HidD_GetFeature", ok);
    ResolveEntry(module, HidD_SetFeature, "HidD_SetFeature", ok);
    ResolveEntry(module, HidD_FlushQueue, "HidD_FlushQueue", ok);
    if (systemHasReportCalls()) {
        bool optional = true;
        ResolveEntry(module, HidD_GetInputReport, "HidD_GetInputReport", optional);
        ResolveEntry(module, HidD_SetOutputReport, "HidD_SetOutputReport", optional);
    }
    return ok;
}

void nullAll() {
    HidD_GetHidGuid = nullptr;
    HidD_GetAttributes = nullptr;
    HidD_GetManufacturerString = nullptr;
    HidD_GetProductString = nullptr;
    HidD_GetSerialNumberString = nullptr;
    HidD_GetPreparsedData = nullptr;
    HidD_FreePreparsedData = nullptr;
    HidP_GetCaps = nullptr;
    HidD_GetFeature = nullptr;
    HidD_SetFeature = nullptr;
    HidD_FlushQueue = nullptr;
    HidD_GetInputReport = nullptr;
    HidD_SetOutputReport = nullptr;
}

} // namespace

bool AcquireHidApi() {
    if (!ModuleLoader::OpenModule(module, "HID.dll", "libhidsvc.so"))
        return false;
    if (!resolveAll()) {
        ReleaseHidApi();
        return false;
    }
    return true;
}

void ReleaseHidApi() {
    ModuleLoader::CloseModule(module);
    nullAll();
}

bool HidApiAvailable() {
    return module.Loaded();
}

} // namespace Hid
