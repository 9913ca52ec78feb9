#include "cli/SystemTexts.h"

namespace cli {

QString NoServicesText() {
    return QStringLiteral("the HID modules (libsetupsvc.so, libhidsvc.so) cannot be loaded: "
                          "reinstall the program");
}

// The node belongs to root until the udev rule gives it to the logged-in user.
QString NoAccessText(const QString& path) {
    return QStringLiteral("no access to %1: install the udev rule (see tarvenik(1), DEVICE ACCESS)")
        .arg(path);
}

} // namespace cli
