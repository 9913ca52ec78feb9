#include "hid/HidLogging.h"

Q_LOGGING_CATEGORY(lcHid, "tarvenik.hid")
