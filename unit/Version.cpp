#include "unit/Version.h"

namespace unit {

QString VersionText() {
    return QStringLiteral(TARVENIK_VERSION);
}

} // namespace unit
