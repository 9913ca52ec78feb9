#include "app/MessageLog.h"

namespace messages {

// A Linux desktop keeps a program's stderr (the journal, or the terminal it was started from).
QString RouteMessages() {
    return {};
}

} // namespace messages
