#include "hid/HidLogging.h"

#include "platform/win32/FileIo.h"

Q_LOGGING_CATEGORY(lcHid, "tarvenik.hid", QtInfoMsg)

namespace hidlog {

QString ErrorText(DWORD code) {
    const char* words = "unknown error";
    switch (code) {
    case ERROR_SUCCESS:
        words = "no error";
        break;
    case ERROR_FILE_NOT_FOUND:
        words = "no such device node";
        break;
    case ERROR_ACCESS_DENIED:
        words = "access denied";
        break;
    case ERROR_INVALID_HANDLE:
        words = "invalid handle";
        break;
    case ERROR_NOT_ENOUGH_MEMORY:
        words = "not enough memory";
        break;
    case ERROR_GEN_FAILURE:
        words = "the device did not take the request";
        break;
    case ERROR_INVALID_PARAMETER:
        words = "invalid parameter";
        break;
    case ERROR_SEM_TIMEOUT:
        words = "the device did not answer in time";
        break;
    case ERROR_MOD_NOT_FOUND:
        words = "module not found";
        break;
    case ERROR_PROC_NOT_FOUND:
        words = "export not found";
        break;
    case ERROR_OPERATION_ABORTED:
        words = "operation aborted";
        break;
    case ERROR_DEVICE_NOT_CONNECTED:
        words = "the device is not connected";
        break;
    default:
        break;
    }
    return QStringLiteral("%1 (error %2)").arg(QLatin1String(words)).arg(code);
}

QString LastErrorText() {
    return ErrorText(GetLastError());
}

DWORD LastError() {
    return GetLastError();
}

} // namespace hidlog
