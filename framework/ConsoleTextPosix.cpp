#include "framework/ConsoleText.h"

namespace framework {

struct TConsoleText::TStreams {};

TConsoleText::TConsoleText() = default;
TConsoleText::~TConsoleText() = default;

} // namespace framework
