#include "unit/OutputSignals.h"

#include <csignal>

namespace unit {

void IgnoreOutputSignals() {
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
}

} // namespace unit
