#pragma once
// The modules report failures the Windows way: a false answer, with the
// Windows error code left for the program's GetLastError (on Linux, where the
// program's stand-in reads it, in errno).

#include "platform/win32/WinTypes.h"

#include <cerrno>

namespace hidmodules {

inline void setModuleError(int windowsError) {
#ifdef _WIN32
    SetLastError(static_cast<DWORD>(windowsError));
#else
    errno = windowsError;
#endif
}

inline BOOLEAN failHid(int windowsError) {
    setModuleError(windowsError);
    return FALSE;
}

inline BOOL failSetup(int windowsError) {
    setModuleError(windowsError);
    return FALSE;
}

// Maps what the kernel says about a device node to the code the program expects.
inline int windowsErrorFromErrno(int err) {
    switch (err) {
    case ENODEV:
    case ENOENT:
    case ENXIO:
        return ERROR_DEVICE_NOT_CONNECTED;
    case EACCES:
    case EPERM:
        return ERROR_ACCESS_DENIED;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case EINVAL:
    case EFAULT:
        return ERROR_INVALID_PARAMETER;
    case ETIMEDOUT: // the USB unit let the control transfer time out
        return ERROR_SEM_TIMEOUT;
    default:
        return ERROR_GEN_FAILURE;
    }
}

} // namespace hidmodules
