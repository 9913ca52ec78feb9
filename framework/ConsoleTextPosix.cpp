#include "framework/ConsoleText.h"

namespace framework {

struct TConsoleText::TStreams {};

void ReachStartingConsole() {}

TConsoleText::TConsoleText() = default;
TConsoleText::~TConsoleText() = default;

} // namespace framework
