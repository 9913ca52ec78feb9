#include "platform/hidraw/InterfaceSets.h"

#include "platform/hidraw/ModuleErrors.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace hidmodules {

namespace {

constexpr DWORD kInterfaceActive = 1; // SPINT_ACTIVE
constexpr DWORD kPathOffset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath);

struct InterfaceSet {
    std::vector<InterfaceEntry> entries;
};

struct SetRegistry {
    std::mutex mutex;
    std::unordered_map<const void*, std::unique_ptr<InterfaceSet>> live;
};

SetRegistry& registry() {
    static SetRegistry instance;
    return instance;
}

// Entries are copied out under the lock, so a set destroyed by another
// thread in the meantime costs nothing worse than a stale answer.
bool findEntries(HDEVINFO set, std::vector<InterfaceEntry>& out) {
    SetRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    const auto it = r.live.find(set);
    if (it == r.live.end())
        return false;
    out = it->second->entries;
    return true;
}

} // namespace

bool sameGuid(const GUID& a, const GUID& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, sizeof a.Data4) == 0;
}

HDEVINFO getClassDevs(const GUID* classGuid, DWORD flags,
                      const std::function<std::vector<InterfaceEntry>()>& list) {
    if (classGuid == nullptr && (flags & DIGCF_ALLCLASSES) == 0) {
        setModuleError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto set = std::make_unique<InterfaceSet>();
    const bool hidInterfaces =
        (flags & DIGCF_DEVICEINTERFACE) != 0 &&
        ((flags & DIGCF_ALLCLASSES) != 0 || sameGuid(*classGuid, kHidInterfaceGuid));
    if (hidInterfaces)
        set->entries = list();
    HDEVINFO handle = set.get();
    SetRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    r.live.emplace(handle, std::move(set));
    return handle;
}

BOOL enumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, const GUID* interfaceGuid,
                          DWORD index, PSP_DEVICE_INTERFACE_DATA data) {
    std::vector<InterfaceEntry> entries;
    if (!findEntries(set, entries))
        return failSetup(ERROR_INVALID_HANDLE);
    if (data == nullptr || interfaceGuid == nullptr)
        return failSetup(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return failSetup(ERROR_INVALID_USER_BUFFER);
    if (deviceInfo != nullptr && deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA))
        return failSetup(ERROR_INVALID_USER_BUFFER);
    if (!sameGuid(*interfaceGuid, kHidInterfaceGuid))
        return failSetup(ERROR_NO_MORE_ITEMS);
    DWORD seen = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (deviceInfo != nullptr && entries[i].devInst != deviceInfo->DevInst)
            continue;
        if (seen++ != index)
            continue;
        data->InterfaceClassGuid = kHidInterfaceGuid;
        data->Flags = kInterfaceActive;
        data->Reserved = i + 1;
        return TRUE;
    }
    return failSetup(ERROR_NO_MORE_ITEMS);
}

BOOL getInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                        DWORD* requiredSize, PSP_DEVINFO_DATA deviceInfo) {
    std::vector<InterfaceEntry> entries;
    if (!findEntries(set, entries))
        return failSetup(ERROR_INVALID_HANDLE);
    if (data == nullptr)
        return failSetup(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return failSetup(ERROR_INVALID_USER_BUFFER);
    if (data->Reserved == 0 || data->Reserved > entries.size())
        return failSetup(ERROR_INVALID_PARAMETER);
    if (deviceInfo != nullptr && deviceInfo->cbSize != sizeof(SP_DEVINFO_DATA))
        return failSetup(ERROR_INVALID_USER_BUFFER);
    if (detail == nullptr && detailSize != 0)
        return failSetup(ERROR_INVALID_USER_BUFFER);
    if (detail != nullptr &&
        (detailSize < kPathOffset || detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A)))
        return failSetup(ERROR_INVALID_USER_BUFFER);

    const InterfaceEntry& entry = entries[data->Reserved - 1];
    const DWORD required = kPathOffset + static_cast<DWORD>(entry.path.size()) + 1;
    if (requiredSize != nullptr)
        *requiredSize = required;
    if (deviceInfo != nullptr) {
        deviceInfo->ClassGuid = kHidClassGuid;
        deviceInfo->DevInst = entry.devInst;
        deviceInfo->Reserved = 0;
    }
    if (detail == nullptr || detailSize < required)
        return failSetup(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, entry.path.c_str(), entry.path.size() + 1);
    return TRUE;
}

BOOL destroyDeviceInfoList(HDEVINFO set) {
    SetRegistry& r = registry();
    std::lock_guard lock(r.mutex);
    if (r.live.erase(set) == 0)
        return failSetup(ERROR_INVALID_HANDLE);
    return TRUE;
}

} // namespace hidmodules
