#pragma once
// The logging category of HID device access: what failed and why, where the
// design drops a failure (a service module that can't be loaded or lacks an
// export, a device that can't be opened or identified).

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHid)
