#include "cli/CliLogging.h"

Q_LOGGING_CATEGORY(lcCli, "tarvenik.cli", QtInfoMsg)
