// Where a virtual unit is attached, as the configuration manager of Windows tells it: the HID
// interface's node has a parent, the unit's USB device on a port, whose location paths and
// location information name that port. The interface's own node has neither, as on Windows.

#include "platform/ServiceExports.h"
#include "platform/virtual/VirtualBus.h"

#include <cstring>
#include <string>

namespace {

// Port nodes sit far above the interfaces' DevInst counter.
constexpr DEVINST kPortNodeBase = 0x50000000;

int portOf(DEVINST node) {
    if (node < kPortNodeBase || node >= kPortNodeBase + virtualunit::kUnitCount)
        return -1;
    return static_cast<int>(node - kPortNodeBase);
}

// A REG_SZ, or a REG_MULTI_SZ of one string, into the caller's buffer as the call's contract
// says: the size needed in bytes always, CR_BUFFER_SMALL when it does not fit.
CONFIGRET copyValue(const std::string& text, bool multi, ULONG type, PULONG pulRegDataType,
                    PVOID Buffer, PULONG pulLength) {
    std::wstring wide(text.begin(), text.end());
    wide.push_back(L'\0');
    if (multi)
        wide.push_back(L'\0');
    const ULONG bytes = static_cast<ULONG>(wide.size() * sizeof(wchar_t));
    if (pulRegDataType != nullptr)
        *pulRegDataType = type;
    const ULONG room = *pulLength;
    *pulLength = bytes;
    if (Buffer == nullptr || room < bytes)
        return CR_BUFFER_SMALL;
    std::memcpy(Buffer, wide.data(), bytes);
    return CR_SUCCESS;
}

} // namespace

extern "C" {

CONFIGRET CM_Get_Parent(PDEVINST pdnDevInst, DEVINST dnDevInst, ULONG) {
    if (pdnDevInst == nullptr)
        return CR_INVALID_POINTER;
    const int unit = virtualunit::unitWithDevInst(dnDevInst);
    if (unit < 0)
        return portOf(dnDevInst) >= 0 ? CR_NO_SUCH_DEVNODE : CR_INVALID_DEVNODE;
    *pdnDevInst = kPortNodeBase + static_cast<DEVINST>(unit);
    return CR_SUCCESS;
}

CONFIGRET CM_Get_DevNode_Registry_PropertyW(DEVINST dnDevInst, ULONG ulProperty,
                                            PULONG pulRegDataType, PVOID Buffer, PULONG pulLength,
                                            ULONG) {
    if (pulLength == nullptr)
        return CR_INVALID_POINTER;
    const int port = portOf(dnDevInst);
    if (port < 0)
        return virtualunit::unitWithDevInst(dnDevInst) >= 0 ? CR_NO_SUCH_VALUE : CR_INVALID_DEVNODE;
    const std::string location = virtualunit::unitLocation(port);
    switch (ulProperty) {
    case CM_DRP_LOCATION_PATHS:
        return copyValue(location, true, REG_MULTI_SZ, pulRegDataType, Buffer, pulLength);
    case CM_DRP_LOCATION_INFORMATION:
        return copyValue("Port_#000" + std::to_string(port + 1) + ".Hub_#0001", false, REG_SZ,
                         pulRegDataType, Buffer, pulLength);
    default:
        return CR_NO_SUCH_VALUE;
    }
}

} // extern "C"
