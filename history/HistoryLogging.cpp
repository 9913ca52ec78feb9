#include "history/HistoryLogging.h"

Q_LOGGING_CATEGORY(lcHistory, "tarvenik.history")
