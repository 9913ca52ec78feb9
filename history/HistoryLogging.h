#pragma once
// The logging category of the history: lines of a log that are skipped, files that can't be read
// or written. The window says so in its status line; the log keeps the detail.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHistory)
