#include "app/QtPlatform.h"

#include <QtGlobal>

namespace startup {

QByteArray QtPlatformOptions() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return {};
    return QByteArrayLiteral("windows:fontengine=freetype");
}

} // namespace startup
