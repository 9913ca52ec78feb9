// A stand-in device-setup module for tests: lists the interfaces named in
// HIDSTUB_PATHS (separated by ':'), DevInst 1000, 1001, ... in that order.
//   HIDSTUB_FAIL_CLASSDEVS  set: SetupDiGetClassDevsA fails
//   HIDSTUB_DETAIL_SIZE     the size the detail query reports instead
// HidStub_RaiseNotification(n) makes the notification readable; the next
// DevNodeNotifyRead answers n. Built without DevNodeNotifyClose when
// HIDSTUB_WITHOUT_DEVNODE_CLOSE is defined.

#include "platform/ServiceExports.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>
#include <vector>

namespace {

int listToken;
int notifyFd = -1;
int pendingChanges = 0;
int notifyReads = 0;

std::vector<std::string> interfacePaths() {
    std::vector<std::string> paths;
    const char* list = std::getenv("HIDSTUB_PATHS");
    std::string rest = list ? list : "";
    while (!rest.empty()) {
        const auto colon = rest.find(':');
        paths.push_back(rest.substr(0, colon));
        rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
    }
    return paths;
}

BOOL fail(int error) {
    errno = error;
    return FALSE;
}

} // namespace

extern "C" {

HDEVINFO SetupDiGetClassDevsA(const GUID*, PCSTR, HWND, DWORD Flags) {
    if (std::getenv("HIDSTUB_FAIL_CLASSDEVS") || Flags != (DIGCF_PRESENT | DIGCF_DEVICEINTERFACE)) {
        errno = ERROR_INVALID_PARAMETER;
        return INVALID_HANDLE_VALUE;
    }
    return &listToken;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                 PSP_DEVICE_INTERFACE_DATA data) {
    if (set != &listToken || data == nullptr)
        return fail(ERROR_INVALID_PARAMETER);
    if (data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return fail(ERROR_INVALID_USER_BUFFER);
    if (index >= interfacePaths().size())
        return fail(ERROR_NO_MORE_ITEMS);
    data->Reserved = index;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, PSP_DEVICE_INTERFACE_DATA data,
                                      PSP_DEVICE_INTERFACE_DETAIL_DATA_A detail, DWORD size,
                                      DWORD* required, PSP_DEVINFO_DATA devinfo) {
    const auto paths = interfacePaths();
    if (set != &listToken || data == nullptr || data->Reserved >= paths.size())
        return fail(ERROR_INVALID_PARAMETER);
    if (devinfo != nullptr && devinfo->cbSize != sizeof(SP_DEVINFO_DATA))
        return fail(ERROR_INVALID_USER_BUFFER);
    const std::string& path = paths[data->Reserved];
    DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) +
                                      path.size() + 1);
    if (const char* forced = std::getenv("HIDSTUB_DETAIL_SIZE"))
        needed = static_cast<DWORD>(std::strtoul(forced, nullptr, 10));
    if (required != nullptr)
        *required = needed;
    if (detail == nullptr || size < needed)
        return fail(ERROR_INSUFFICIENT_BUFFER);
    if (detail->cbSize != sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A))
        return fail(ERROR_INVALID_USER_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    if (devinfo != nullptr)
        devinfo->DevInst = 1000 + static_cast<DWORD>(data->Reserved);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set) {
    return set == &listToken ? TRUE : fail(ERROR_INVALID_PARAMETER);
}

int DevNodeNotifyOpen(void) {
    if (notifyFd < 0)
        notifyFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    return notifyFd;
}

int DevNodeNotifyRead(int fd) {
    ++notifyReads;
    uint64_t count;
    if (fd != notifyFd || read(fd, &count, sizeof count) != sizeof count)
        return -1;
    return pendingChanges;
}

#ifndef HIDSTUB_WITHOUT_DEVNODE_CLOSE
void DevNodeNotifyClose(int fd) {
    if (fd == notifyFd) {
        close(fd);
        notifyFd = -1;
    }
}
#endif

void HidStub_RaiseNotification(int changes) {
    pendingChanges = changes;
    const uint64_t one = 1;
    if (notifyFd >= 0) [[maybe_unused]]
        auto written = write(notifyFd, &one, sizeof one);
}

int HidStub_NotifyReads(void) {
    return notifyReads;
}

} // extern "C"
