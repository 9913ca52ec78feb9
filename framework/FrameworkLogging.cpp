#include "framework/FrameworkLogging.h"

Q_LOGGING_CATEGORY(lcFramework, "tarvenik.framework")
