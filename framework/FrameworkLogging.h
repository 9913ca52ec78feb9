#pragma once
// The logging category of the framework: what it could not set up, and why.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcFramework)
