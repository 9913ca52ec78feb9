#pragma once
// The logging category of HID device access: what failed and why, where the
// design drops a failure (a service module that can't be loaded or lacks an
// export, a device that can't be opened or identified).

#include "platform/win32/WinTypes.h"

#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcHid)

namespace hidlog {

// A Windows error code as the HID services and file calls leave it, in words,
// with the number: "access denied (error 5)".
QString ErrorText(DWORD code);
// The same for the calling thread's last error.
QString LastErrorText();
// The thread's last error as the services left it (ERROR_SEM_TIMEOUT: the device did not answer
// in time).
DWORD LastError();

} // namespace hidlog
