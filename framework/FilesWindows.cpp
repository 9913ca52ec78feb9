#include "framework/Files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

namespace framework {

bool OpenForAppend(QFile& file, const QString& path, QString& why) {
    // Qt's Append mode on Windows seeks to the end once, at opening; this file is shared with
    // other appenders, so the end is left to the system at each write (FILE_APPEND_DATA alone).
    const HANDLE handle =
        CreateFileW(reinterpret_cast<const wchar_t*>(path.utf16()), FILE_APPEND_DATA | SYNCHRONIZE,
                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        why = qt_error_string(static_cast<int>(GetLastError()));
        return false;
    }
    // QFile takes the handle as a C runtime descriptor, which then owns it.
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_WRONLY);
    if (fd < 0) {
        why = qt_error_string(static_cast<int>(GetLastError()));
        CloseHandle(handle);
        return false;
    }
    if (!file.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered,
                   QFileDevice::AutoCloseHandle)) {
        why = file.errorString();
        _close(fd);
        return false;
    }
    return true;
}

void GivePlainFilePermissions(QFileDevice&) {
    // A new file takes the folder's access rights on Windows already.
}

bool ReplaceFile(const QString& from, const QString& to, QString& why) {
    if (MoveFileExW(reinterpret_cast<const wchar_t*>(from.utf16()),
                    reinterpret_cast<const wchar_t*>(to.utf16()),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    why = qt_error_string(static_cast<int>(GetLastError()));
    return false;
}

} // namespace framework
