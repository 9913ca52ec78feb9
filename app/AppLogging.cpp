#include "app/AppLogging.h"

Q_LOGGING_CATEGORY(lcPoll, "tarvenik.poll")
Q_LOGGING_CATEGORY(lcScreenshot, "tarvenik.screenshot")
Q_LOGGING_CATEGORY(lcApp, "tarvenik.app")
