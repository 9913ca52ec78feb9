#include "unit/OutputSignals.h"

#include <csignal>

namespace unit {

void IgnoreOutputSignals() {
    // Windows has neither: a failed write there is only the write's error.
#ifdef SIGPIPE
    std::signal(SIGPIPE, SIG_IGN);
#endif
#ifdef SIGXFSZ
    std::signal(SIGXFSZ, SIG_IGN);
#endif
}

} // namespace unit
