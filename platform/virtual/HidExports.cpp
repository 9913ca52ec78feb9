// HID exports of the virtual libhidsvc.so: the virtual units behind their
// device nodes.

#include "platform/ServiceExports.h"
#include "platform/hidraw/ModuleErrors.h"
#include "platform/hidraw/PreparsedData.h"
#include "platform/hidraw/ReportDescriptor.h"
#include "platform/hidraw/WideStrings.h"
#include "platform/virtual/TarvenikDescriptor.h"
#include "platform/virtual/VirtualBus.h"

using hidmodules::failHid;

namespace {

BOOLEAN answer(int error) {
    return error == ERROR_SUCCESS ? TRUE : failHid(error);
}

BOOLEAN copyString(HANDLE device, virtualunit::StringKind kind, PVOID buffer, ULONG length) {
    std::u16string text;
    if (const int error = virtualunit::deviceString(device, kind, text); error != ERROR_SUCCESS)
        return failHid(error);
    return hidmodules::copyWideString(text, buffer, length);
}

} // namespace

extern "C" {

BOOLEAN HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    if (Attributes == nullptr)
        return failHid(ERROR_INVALID_PARAMETER);
    if (const int error = virtualunit::checkHandle(HidDeviceObject); error != ERROR_SUCCESS)
        return failHid(error);
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = virtualunit::kVendorId;
    Attributes->ProductID = virtualunit::kProductId;
    Attributes->VersionNumber = virtualunit::kVersion;
    return TRUE;
}

BOOLEAN HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, virtualunit::StringKind::Manufacturer, Buffer, BufferLength);
}

BOOLEAN HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, virtualunit::StringKind::Product, Buffer, BufferLength);
}

BOOLEAN HidD_GetSerialNumberString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, virtualunit::StringKind::Serial, Buffer, BufferLength);
}

// Linux's own call (HIDSVC_LOCATION_EXPORTS); Windows asks SetupApi (LocationExportsWindows.cpp).
#ifndef _WIN32
BOOLEAN DevNodeGetLocationString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, virtualunit::StringKind::Location, Buffer, BufferLength);
}
#endif

BOOLEAN HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
    if (PreparsedData == nullptr)
        return failHid(ERROR_INVALID_PARAMETER);
    if (const int error = virtualunit::checkHandle(HidDeviceObject); error != ERROR_SUCCESS)
        return failHid(error);
    static const hidmodules::ReportDescriptorSummary summary =
        hidmodules::parseReportDescriptor(virtualunit::kTarvenikReportDescriptor);
    *PreparsedData = hidmodules::createPreparsedData(summary);
    return TRUE;
}

BOOLEAN HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return answer(virtualunit::getFeature(HidDeviceObject, static_cast<uint8_t*>(ReportBuffer),
                                          ReportBufferLength));
}

BOOLEAN HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return answer(virtualunit::setFeature(
        HidDeviceObject, static_cast<const uint8_t*>(ReportBuffer), ReportBufferLength));
}

BOOLEAN HidD_FlushQueue(HANDLE HidDeviceObject) {
    return answer(virtualunit::flushInput(HidDeviceObject));
}

BOOLEAN HidD_GetInputReport(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return answer(virtualunit::lastInputReport(HidDeviceObject, static_cast<uint8_t*>(ReportBuffer),
                                               ReportBufferLength));
}

BOOLEAN HidD_SetOutputReport(HANDLE HidDeviceObject, PVOID, ULONG) {
    // The unit has no output report.
    if (const int error = virtualunit::checkHandle(HidDeviceObject); error != ERROR_SUCCESS)
        return failHid(error);
    return failHid(ERROR_INVALID_PARAMETER);
}

} // extern "C"

SERVICE_MODULE_DEFINES(HIDSVC_EXPORTS)
