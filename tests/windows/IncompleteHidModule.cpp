// A hid.dll that lacks every required export but the first: the program must leave the HID
// services off and say which exports are missing, not call through a null entry.

#include <windows.h>

extern "C" __declspec(dllexport) void WINAPI HidD_GetHidGuid(GUID* guid) {
    *guid = {0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};
}
