// A stand-in HID module for tests. Any file that fstat accepts is a device;
// feature reports need a read/write handle.
//   HIDSTUB_FAIL_ATTRIBUTES  set: HidD_GetAttributes fails
//   HIDSTUB_PRODUCT, HIDSTUB_MANUFACTURER  the strings (ASCII)
// No HidD_GetInputReport / HidD_SetOutputReport (they are optional); built
// without HidD_GetFeature when HIDSTUB_WITHOUT_GET_FEATURE is defined.
// HidStub_PreparsedOutstanding() answers how many preparsed data handed out
// have not been freed.

#include "platform/ServiceExports.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

struct _HIDP_PREPARSED_DATA {
    int marker;
};

namespace {

_HIDP_PREPARSED_DATA preparsed{0x5EED};
int preparsedOutstanding = 0;

int descriptorOf(HANDLE handle) {
    const auto value = reinterpret_cast<intptr_t>(handle);
    return value < 0 || value > INT_MAX ? -1 : static_cast<int>(value);
}

BOOLEAN fail(int error) {
    errno = error;
    return FALSE;
}

BOOLEAN known(HANDLE handle) {
    struct stat st {};
    return fstat(descriptorOf(handle), &st) == 0;
}

BOOLEAN readWrite(HANDLE handle) {
    const int flags = fcntl(descriptorOf(handle), F_GETFL);
    return flags >= 0 && (flags & O_PATH) == 0 && (flags & O_ACCMODE) == O_RDWR;
}

BOOLEAN copyText(HANDLE handle, const char* variable, PVOID buffer, ULONG length) {
    if (!known(handle))
        return fail(ERROR_INVALID_HANDLE);
    const char* text = std::getenv(variable);
    const size_t size = text ? std::strlen(text) : 0;
    const size_t capacity = length / 2;
    auto* out = static_cast<WCHAR*>(buffer);
    size_t i = 0;
    for (; i < size && i < capacity; ++i)
        out[i] = static_cast<unsigned char>(text[i]);
    if (i < capacity)
        out[i] = 0;
    return TRUE;
}

} // namespace

extern "C" {

void HidD_GetHidGuid(LPGUID guid) {
    *guid = GUID{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
}

BOOLEAN HidD_GetAttributes(HANDLE handle, PHIDD_ATTRIBUTES attributes) {
    if (std::getenv("HIDSTUB_FAIL_ATTRIBUTES") || !known(handle))
        return fail(ERROR_GEN_FAILURE);
    if (attributes->Size != sizeof(HIDD_ATTRIBUTES))
        return fail(ERROR_INVALID_PARAMETER);
    attributes->VendorID = 0x1234;
    attributes->ProductID = 0x5678;
    attributes->VersionNumber = 0x0100;
    return TRUE;
}

BOOLEAN HidD_GetManufacturerString(HANDLE handle, PVOID buffer, ULONG length) {
    return copyText(handle, "HIDSTUB_MANUFACTURER", buffer, length);
}
BOOLEAN HidD_GetProductString(HANDLE handle, PVOID buffer, ULONG length) {
    return copyText(handle, "HIDSTUB_PRODUCT", buffer, length);
}
BOOLEAN HidD_GetSerialNumberString(HANDLE handle, PVOID buffer, ULONG length) {
    return copyText(handle, "HIDSTUB_SERIAL", buffer, length);
}
BOOLEAN DevNodeGetLocationString(HANDLE handle, PVOID buffer, ULONG length) {
    return copyText(handle, "HIDSTUB_LOCATION", buffer, length);
}

BOOLEAN HidD_GetPreparsedData(HANDLE handle, PHIDP_PREPARSED_DATA* data) {
    if (!known(handle))
        return fail(ERROR_INVALID_HANDLE);
    *data = &preparsed;
    ++preparsedOutstanding;
    return TRUE;
}

BOOLEAN HidD_FreePreparsedData(PHIDP_PREPARSED_DATA data) {
    if (data != &preparsed)
        return fail(ERROR_INVALID_PARAMETER);
    --preparsedOutstanding;
    return TRUE;
}

int HidStub_PreparsedOutstanding(void) {
    return preparsedOutstanding;
}

NTSTATUS HidP_GetCaps(PHIDP_PREPARSED_DATA data, PHIDP_CAPS caps) {
    if (data != &preparsed)
        return HIDP_STATUS_INVALID_PREPARSED_DATA;
    std::memset(caps, 0, sizeof *caps);
    caps->InputReportByteLength = 9;
    caps->FeatureReportByteLength = 252;
    return HIDP_STATUS_SUCCESS;
}

#ifndef HIDSTUB_WITHOUT_GET_FEATURE
BOOLEAN HidD_GetFeature(HANDLE handle, PVOID buffer, ULONG length) {
    if (!readWrite(handle))
        return fail(ERROR_ACCESS_DENIED);
    std::memset(buffer, 0x11, length);
    return TRUE;
}
#endif

BOOLEAN HidD_SetFeature(HANDLE handle, PVOID, ULONG) {
    return readWrite(handle) ? TRUE : fail(ERROR_ACCESS_DENIED);
}

BOOLEAN HidD_FlushQueue(HANDLE handle) {
    return known(handle);
}

} // extern "C"
