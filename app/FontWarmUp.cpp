#include "app/FontWarmUp.h"

#if defined(TARVENIK_FONTCONFIG)
#include <fontconfig/fontconfig.h>
#endif

namespace startup {

TFontWarmUp::TFontWarmUp() {
#if defined(TARVENIK_FONTCONFIG)
    // FcInit keeps the configuration it reads as the process's current one, which is the one
    // Qt's font database then takes.
    thread_ = std::thread([] { FcInit(); });
#endif
}

TFontWarmUp::~TFontWarmUp() {
    Wait();
}

void TFontWarmUp::Wait() {
    if (thread_.joinable())
        thread_.join();
}

} // namespace startup
