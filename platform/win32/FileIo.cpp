#include "platform/win32/FileIo.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

namespace win32 {

int DescriptorOf(HANDLE handle) {
    const auto value = reinterpret_cast<intptr_t>(handle);
    if (value < 0 || value > INT_MAX)
        return -1;
    return static_cast<int>(value);
}

HANDLE HandleOf(int fd) {
    return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(static_cast<intptr_t>(fd));
}

DWORD ErrorFromErrno(int errnoValue) {
    switch (errnoValue) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
        return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
    case EFAULT:
        return ERROR_INVALID_PARAMETER;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENODEV:
    case ENXIO:
    case ESHUTDOWN:
        return ERROR_DEVICE_NOT_CONNECTED;
    case ECANCELED:
        return ERROR_OPERATION_ABORTED;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace win32

DWORD GetLastError() {
    return static_cast<DWORD>(errno);
}

void SetLastError(DWORD dwErrCode) {
    errno = static_cast<int>(dwErrCode);
}

HANDLE CreateFileA(LPCSTR lpFileName, DWORD dwDesiredAccess, DWORD /*dwShareMode*/,
                   LPSECURITY_ATTRIBUTES /*lpSecurityAttributes*/, DWORD dwCreationDisposition,
                   DWORD dwFlagsAndAttributes, HANDLE /*hTemplateFile*/) {
    if (lpFileName == nullptr || dwCreationDisposition != OPEN_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    int flags = O_CLOEXEC;
    switch (dwDesiredAccess & (GENERIC_READ | GENERIC_WRITE)) {
    case GENERIC_READ | GENERIC_WRITE:
        flags |= O_RDWR;
        break;
    case GENERIC_READ:
        flags |= O_RDONLY;
        break;
    case GENERIC_WRITE:
        flags |= O_WRONLY;
        break;
    default:
        flags |= O_PATH;
        break;
    }
    if (dwFlagsAndAttributes & FILE_FLAG_OVERLAPPED)
        flags |= O_NONBLOCK;

    int fd;
    do
        fd = ::open(lpFileName, flags);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastError(win32::ErrorFromErrno(errno));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return win32::HandleOf(fd);
}

namespace {

// What GetModuleHandleA answers for "kernel32.dll": the address of this
// object, so no real module handle can be mistaken for it.
char kernel32Module;

bool namesKernel32(const char* name) {
    return strcasecmp(name, "kernel32.dll") == 0 || strcasecmp(name, "kernel32") == 0;
}

} // namespace

HMODULE GetModuleHandleA(LPCSTR lpModuleName) {
    if (lpModuleName == nullptr || !namesKernel32(lpModuleName)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return &kernel32Module;
}

FARPROC GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    if (hModule != &kernel32Module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (lpProcName != nullptr && std::strcmp(lpProcName, "CancelIo") == 0)
        return reinterpret_cast<FARPROC>(&CancelIo);
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
}
