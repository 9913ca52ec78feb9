#pragma once
// The logging categories of the panel. The window drops failures silently by
// design (a poll cycle that fails, a screenshot that can't be saved, a unit
// that can't be opened); each is still logged here with what failed and why.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcPoll)       // connection, poll cycles, exchanges with the unit
Q_DECLARE_LOGGING_CATEGORY(lcScreenshot) // screenshots
Q_DECLARE_LOGGING_CATEGORY(lcApp)        // start-up: the window's language, its remembered place
