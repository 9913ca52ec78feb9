#include "app/QtPlatform.h"

namespace startup {

QByteArray QtPlatformOptions() {
    return {};
}

} // namespace startup
