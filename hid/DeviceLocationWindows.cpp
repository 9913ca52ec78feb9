#include "hid/DeviceLocation.h"

#include "hid/HidLogging.h"
#include "hid/SetupApi.h"

#include <vector>

namespace hidlocation {

namespace {

// One property of a node as text: the first string of a REG_MULTI_SZ, or a REG_SZ.
QString NodeText(DEVINST node, ULONG property) {
    ULONG type = 0;
    ULONG bytes = 0;
    const CONFIGRET sized =
        SetupApi::CM_Get_DevNode_Registry_PropertyW(node, property, &type, nullptr, &bytes, 0);
    if ((sized != CR_BUFFER_SMALL && sized != CR_SUCCESS) || bytes < sizeof(wchar_t))
        return {};
    std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 2, L'\0');
    ULONG room = static_cast<ULONG>((text.size() - 2) * sizeof(wchar_t));
    if (SetupApi::CM_Get_DevNode_Registry_PropertyW(node, property, &type, text.data(), &room, 0) !=
            CR_SUCCESS ||
        (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    // Up to the first NUL: the terminator of a REG_SZ, the end of a list's first string.
    return QString::fromWCharArray(text.data());
}

} // namespace

// The HID interface's node rarely carries a location; its parent does: the USB device (its
// location paths name the port from the root, its location information "Port_#n.Hub_#m"), or in
// a composite device the USB interface, whose location information names the port as well.
QString DeviceLocation(HANDLE /*mainHandle*/, uint32_t devInst) {
    if (SetupApi::CM_Get_Parent == nullptr ||
        SetupApi::CM_Get_DevNode_Registry_PropertyW == nullptr)
        return {};
    DEVINST parent = 0;
    if (SetupApi::CM_Get_Parent(&parent, devInst, 0) != CR_SUCCESS) {
        qCDebug(lcHid) << "no parent node for the device's location";
        return {};
    }
    const QString paths = NodeText(parent, CM_DRP_LOCATION_PATHS);
    return paths.isEmpty() ? NodeText(parent, CM_DRP_LOCATION_INFORMATION) : paths;
}

} // namespace hidlocation
