// Device-setup exports of the virtual setup module (the node-change notifications of Linux are
// with its nodes, in UnitNodesLinux.cpp).

#include "platform/ServiceExports.h"
#include "platform/hidraw/InterfaceSets.h"
#include "platform/virtual/VirtualBus.h"

namespace {

std::vector<hidmodules::InterfaceEntry> virtualInterfaces() {
    std::vector<hidmodules::InterfaceEntry> list;
    for (const auto& present : virtualunit::presentInterfaces())
        list.push_back({present.path, present.devInst});
    return list;
}

} // namespace

extern "C" {

HDEVINFO SetupDiGetClassDevsA(const GUID* ClassGuid, PCSTR, HWND, DWORD Flags) {
    return hidmodules::getClassDevs(ClassGuid, Flags, virtualInterfaces);
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

} // extern "C"

SERVICE_MODULE_DEFINES(SETUPSVC_EXPORTS)
