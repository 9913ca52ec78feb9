#include "cli/SystemTexts.h"

namespace cli {

// The system's own HID.dll and SetupApi.dll (the demo's copies beside it): only a damaged
// installation lacks them.
QString NoServicesText() {
    return QStringLiteral("the HID services (HID.dll, SetupApi.dll) cannot be loaded: "
                          "reinstall the program");
}

// Windows gives every user a HID device that is not a keyboard or mouse; what refuses it is
// another program that opened it without sharing.
QString NoAccessText(const QString& path) {
    return QStringLiteral("no access to %1: another program holds the unit; close it and try "
                          "again")
        .arg(path);
}

} // namespace cli
