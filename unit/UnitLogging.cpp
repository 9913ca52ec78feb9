#include "unit/UnitLogging.h"

Q_LOGGING_CATEGORY(lcUnit, "tarvenik.unit", QtInfoMsg)
