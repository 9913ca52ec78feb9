#pragma once
// The logging category of the unit library. Exchanges that fail are told at debug level only:
// their callers decide whether a failure matters (the window polls on through one, the
// command-line tool names it).

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcUnit)
