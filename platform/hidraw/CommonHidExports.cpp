// The HID exports that do not touch a device; both module pairs build this
// file in, so they answer these identically.

#include "platform/ServiceExports.h"
#include "platform/hidraw/InterfaceSets.h"
#include "platform/hidraw/ModuleErrors.h"
#include "platform/hidraw/PreparsedData.h"

extern "C" {

void HidD_GetHidGuid(LPGUID HidGuid) {
    if (HidGuid != nullptr)
        *HidGuid = hidmodules::kHidInterfaceGuid;
}

BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA PreparsedData) {
    if (!hidmodules::freePreparsedData(PreparsedData))
        return hidmodules::failHid(ERROR_INVALID_PARAMETER);
    return TRUE;
}

NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA PreparsedData, PHIDP_CAPS Capabilities) {
    return hidmodules::capsFromPreparsedData(PreparsedData, Capabilities);
}

} // extern "C"
