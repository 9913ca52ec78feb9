// HID exports of the Linux libhidsvc.so: hidraw nodes, identified through
// sysfs, feature reports through the hidraw ioctls.

#include "platform/ServiceExports.h"
#include "platform/hidraw/ModuleErrors.h"
#include "platform/hidraw/PreparsedData.h"
#include "platform/hidraw/ReportDescriptor.h"
#include "platform/hidraw/SysfsHid.h"
#include "platform/hidraw/WideStrings.h"

#include <fcntl.h>
#include <linux/hidraw.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstring>

using hidmodules::failHid;
using hidmodules::HidrawDevice;

namespace {

// The size field of an ioctl number holds 14 bits; hidraw takes at most 16 KiB anyway.
constexpr ULONG kMaxIoctlLength = (1u << 14) - 1;
// A device that streams input reports must not keep a flush going forever.
constexpr int kMaxFlushReads = 1024;

const hidmodules::SysfsHid& sysfs() {
    static const hidmodules::SysfsHid instance("/");
    return instance;
}

enum class Access { Query, Read, ReadWrite };

// The hidraw device behind a handle, or the Windows error for it.
int resolve(HANDLE handle, Access access, HidrawDevice& device, int& fd) {
    const auto value = reinterpret_cast<intptr_t>(handle);
    if (value < 0 || value > INT_MAX)
        return ERROR_INVALID_HANDLE;
    fd = static_cast<int>(value);
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode))
        return ERROR_INVALID_HANDLE;
    if (const int error = sysfs().deviceForNumber(st.st_rdev, device); error != ERROR_SUCCESS)
        return error;
    const int flags = fcntl(fd, F_GETFL);
    if (flags < 0)
        return ERROR_INVALID_HANDLE;
    const bool queryOnly = (flags & O_PATH) != 0;
    if ((access == Access::ReadWrite && (queryOnly || (flags & O_ACCMODE) != O_RDWR)) ||
        (access == Access::Read && (queryOnly || (flags & O_ACCMODE) == O_WRONLY)))
        return ERROR_ACCESS_DENIED;
    if (!queryOnly) {
        // sysfs answers by device number; the node itself knows whether its
        // device is still there.
        hidraw_devinfo info{};
        if (ioctl(fd, HIDIOCGRAWINFO, &info) < 0)
            return hidmodules::windowsErrorFromErrno(errno);
    }
    return ERROR_SUCCESS;
}

using StringGetter =
    std::optional<std::string> (hidmodules::SysfsHid::*)(const HidrawDevice&) const;

BOOLEAN copyString(HANDLE handle, StringGetter getter, PVOID buffer, ULONG length) {
    HidrawDevice device;
    int fd = -1;
    if (const int error = resolve(handle, Access::Query, device, fd); error != ERROR_SUCCESS)
        return failHid(error);
    const auto text = (sysfs().*getter)(device);
    if (!text)
        return failHid(ERROR_GEN_FAILURE);
    return hidmodules::copyWideString(hidmodules::utf8ToUtf16(*text), buffer, length);
}

// Report buffers follow the Windows convention, which hidraw shares: byte 0
// is the report id, 0 for a device without numbered reports.
enum class Direction { FromDevice, ToDevice };

BOOLEAN reportIoctl(HANDLE handle, PVOID buffer, ULONG length, Direction direction,
                    unsigned long (*request)(ULONG)) {
    // A longer report cannot be put in one request; cutting it short would
    // send or read a different report than the caller asked for.
    if (buffer == nullptr || length == 0 || length > kMaxIoctlLength)
        return failHid(ERROR_INVALID_PARAMETER);
    HidrawDevice device;
    int fd = -1;
    if (const int error = resolve(handle, Access::ReadWrite, device, fd); error != ERROR_SUCCESS)
        return failHid(error);
    const int transferred = ioctl(fd, request(length), buffer);
    if (transferred < 0)
        return failHid(hidmodules::windowsErrorFromErrno(errno));
    // A device may answer with fewer bytes than asked for: the rest of the
    // caller's buffer must not pass for part of the report.
    if (direction == Direction::FromDevice && static_cast<ULONG>(transferred) < length)
        std::memset(static_cast<uint8_t*>(buffer) + transferred, 0, length - transferred);
    return TRUE;
}

} // namespace

extern "C" {

BOOLEAN HidD_GetAttributes(HANDLE HidDeviceObject, PHIDD_ATTRIBUTES Attributes) {
    if (Attributes == nullptr)
        return failHid(ERROR_INVALID_PARAMETER);
    HidrawDevice device;
    int fd = -1;
    if (const int error = resolve(HidDeviceObject, Access::Query, device, fd);
        error != ERROR_SUCCESS)
        return failHid(error);
    Attributes->Size = sizeof(HIDD_ATTRIBUTES);
    Attributes->VendorID = device.vendor;
    Attributes->ProductID = device.product;
    Attributes->VersionNumber = device.version;
    return TRUE;
}

BOOLEAN HidD_GetManufacturerString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, &hidmodules::SysfsHid::manufacturerString, Buffer,
                      BufferLength);
}

BOOLEAN HidD_GetProductString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, &hidmodules::SysfsHid::productString, Buffer, BufferLength);
}

BOOLEAN HidD_GetSerialNumberString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, &hidmodules::SysfsHid::serialString, Buffer, BufferLength);
}

BOOLEAN DevNodeGetLocationString(HANDLE HidDeviceObject, PVOID Buffer, ULONG BufferLength) {
    return copyString(HidDeviceObject, &hidmodules::SysfsHid::locationString, Buffer, BufferLength);
}

// Succeeds whenever the descriptor can be read, well-formed or not; a
// malformed one makes HidP_GetCaps answer HIDP_STATUS_INVALID_PREPARSED_DATA.
BOOLEAN HidD_GetPreparsedData(HANDLE HidDeviceObject, PHIDP_PREPARSED_DATA* PreparsedData) {
    if (PreparsedData == nullptr)
        return failHid(ERROR_INVALID_PARAMETER);
    HidrawDevice device;
    int fd = -1;
    if (const int error = resolve(HidDeviceObject, Access::Query, device, fd);
        error != ERROR_SUCCESS)
        return failHid(error);
    const auto descriptor = sysfs().reportDescriptor(device);
    if (!descriptor)
        return failHid(ERROR_DEVICE_NOT_CONNECTED);
    *PreparsedData =
        hidmodules::createPreparsedData(hidmodules::parseReportDescriptor(*descriptor));
    return TRUE;
}

BOOLEAN HidD_GetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return reportIoctl(HidDeviceObject, ReportBuffer, ReportBufferLength, Direction::FromDevice,
                       [](ULONG n) -> unsigned long { return HIDIOCGFEATURE(n); });
}

BOOLEAN HidD_SetFeature(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return reportIoctl(HidDeviceObject, ReportBuffer, ReportBufferLength, Direction::ToDevice,
                       [](ULONG n) -> unsigned long { return HIDIOCSFEATURE(n); });
}

BOOLEAN HidD_GetInputReport(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return reportIoctl(HidDeviceObject, ReportBuffer, ReportBufferLength, Direction::FromDevice,
                       [](ULONG n) -> unsigned long { return HIDIOCGINPUT(n); });
}

BOOLEAN HidD_SetOutputReport(HANDLE HidDeviceObject, PVOID ReportBuffer, ULONG ReportBufferLength) {
    return reportIoctl(HidDeviceObject, ReportBuffer, ReportBufferLength, Direction::ToDevice,
                       [](ULONG n) -> unsigned long { return HIDIOCSOUTPUT(n); });
}

BOOLEAN HidD_FlushQueue(HANDLE HidDeviceObject) {
    HidrawDevice device;
    int fd = -1;
    if (const int error = resolve(HidDeviceObject, Access::Read, device, fd);
        error != ERROR_SUCCESS)
        return failHid(error);
    uint8_t scratch[4096];
    for (int i = 0; i < kMaxFlushReads; ++i) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 0) != 1 || (p.revents & POLLIN) == 0)
            break;
        if (read(fd, scratch, sizeof scratch) <= 0)
            break;
    }
    return TRUE;
}

} // extern "C"

SERVICE_MODULE_DEFINES(HIDSVC_EXPORTS)
