#pragma once
// The logging category of the command-line tool: what it drops or works around (a retried
// exchange, signal handling that could not be set up). What fails a command goes to stderr as
// its one line, not here.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcCli)
