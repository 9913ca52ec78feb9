#include "hid/Hid.h"

#include "hid/ModuleLoader.h"

#include <atomic>

#ifdef _WIN32
#include <windows.h>
#endif

namespace Hid {

HIDSVC_EXPORTS(SERVICE_TABLE_ENTRY, SERVICE_TABLE_ENTRY)

namespace {

ModuleLoader::TModuleHandle module;
std::atomic<bool> pinned{false};

bool systemHasReportCalls() {
#ifdef _WIN32
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info))
        return false;
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT &&
           VersionHasReportCalls(info.dwMajorVersion, info.dwMinorVersion);
#else
    return true;
#endif
}

bool resolveAll() {
    bool ok = true;
#define RESOLVE_ENTRY(result, name, parameters) ModuleLoader::ResolveEntry(module, name, #name, ok);
    HIDSVC_EXPORTS(RESOLVE_ENTRY, SERVICE_EXPORT_SKIP)
#undef RESOLVE_ENTRY
    if (systemHasReportCalls()) {
#define RESOLVE_OPTIONAL(result, name, parameters)                                                 \
    ModuleLoader::ResolveOptionalEntry(module, name, #name);
        HIDSVC_EXPORTS(SERVICE_EXPORT_SKIP, RESOLVE_OPTIONAL)
#undef RESOLVE_OPTIONAL
    }
    return ok;
}

void nullAll() {
    HIDSVC_EXPORTS(SERVICE_TABLE_ENTRY_RESET, SERVICE_TABLE_ENTRY_RESET)
}

} // namespace

bool VersionHasReportCalls(unsigned long major, unsigned long minor) {
    // Windows XP is NT 5.1; every later release (6.0, 6.1, 10.0, ...) has them too, whatever its
    // minor number.
    return major > 5 || (major == 5 && minor >= 1);
}

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
    if (pinned.load())
        return;
    ModuleLoader::CloseModule(module);
    nullAll();
}

void PinServicesForProcess() {
    pinned.store(true);
}

bool ServicesPinned() {
    return pinned.load();
}

bool HidApiAvailable() {
    return module.Loaded();
}

} // namespace Hid
