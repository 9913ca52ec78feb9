#pragma once
// Device information sets of the setup module: a snapshot of the HID
// interfaces present when the set was made, walked by index. Sets are tracked,
// so a stale or foreign HDEVINFO is refused instead of being dereferenced.

#include "platform/win32/WinTypes.h"

#include <functional>
#include <string>
#include <vector>

namespace hidmodules {

// {4D1E55B2-F16F-11CF-88CB-001111000030}, the HID device interface class.
inline constexpr GUID kHidInterfaceGuid{
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
// {745A17A0-74D3-11D0-B6FE-00A0C90F57DA}, the HID setup class of the devices.
inline constexpr GUID kHidClassGuid{
    0x745A17A0, 0x74D3, 0x11D0, {0xB6, 0xFE, 0x00, 0xA0, 0xC9, 0x0F, 0x57, 0xDA}};

bool sameGuid(const GUID& a, const GUID& b);

struct InterfaceEntry {
    std::string path;
    DWORD devInst = 0;
};

// The four SetupDi calls, with the Windows argument checks and errors. `list`
// is asked for the present interfaces only when the set covers HID interfaces.
HDEVINFO getClassDevs(const GUID* classGuid, DWORD flags,
                      const std::function<std::vector<InterfaceEntry>()>& list);
BOOL enumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA deviceInfo, const GUID* interfaceGuid,
                          DWORD index, PSP_DEVICE_INTERFACE_DATA data);
BOOL getInterfaceDetail(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                        PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD detailSize,
                        DWORD* requiredSize, PSP_DEVINFO_DATA deviceInfo);
BOOL destroyDeviceInfoList(HDEVINFO set);

} // namespace hidmodules
