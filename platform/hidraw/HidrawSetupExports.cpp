// Device-setup exports of the Linux libsetupsvc.so: the hidraw nodes present
// as the HID interface class, and node-change notification through udev.

#include "platform/ServiceExports.h"
#include "platform/hidraw/InterfaceSets.h"
#include "platform/hidraw/NodeMonitor.h"
#include "platform/hidraw/SysfsHid.h"

namespace {

std::vector<hidmodules::InterfaceEntry> hidrawInterfaces() {
    std::vector<hidmodules::InterfaceEntry> list;
    for (const auto& device : hidmodules::SysfsHid("/").presentDevices())
        list.push_back({device.devicePath, device.devInst});
    return list;
}

} // namespace

extern "C" {

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR, HWND, DWORD Flags) {
    return hidmodules::getClassDevs(ClassGuid, Flags, hidrawInterfaces);
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO DeviceInfoSet, PSP_DEVINFO_DATA DeviceInfoData,
                                 const GUID* InterfaceClassGuid, DWORD MemberIndex,
                                 PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData) {
    return hidmodules::enumDeviceInterfaces(DeviceInfoSet, DeviceInfoData, InterfaceClassGuid,
                                            MemberIndex, DeviceInterfaceData);
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO DeviceInfoSet,
                                      PSP_DEVICE_INTERFACE_DATA DeviceInterfaceData,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A DeviceInterfaceDetailData,
                                      DWORD DeviceInterfaceDetailDataSize, DWORD* RequiredSize,
                                      PSP_DEVINFO_DATA DeviceInfoData) {
    return hidmodules::getInterfaceDetail(DeviceInfoSet, DeviceInterfaceData,
                                          DeviceInterfaceDetailData, DeviceInterfaceDetailDataSize,
                                          RequiredSize, DeviceInfoData);
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO DeviceInfoSet) {
    return hidmodules::destroyDeviceInfoList(DeviceInfoSet);
}

int DevNodeNotifyOpen(void) {
    return hidmodules::openNodeMonitor();
}

int DevNodeNotifyRead(int fd) {
    return hidmodules::readNodeMonitor(fd);
}

void DevNodeNotifyClose(int fd) {
    hidmodules::closeNodeMonitor(fd);
}

} // extern "C"

SERVICE_MODULE_DEFINES(SETUPSVC_EXPORTS)
