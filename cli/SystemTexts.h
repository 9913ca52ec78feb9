#pragma once
// The advice that differs between systems: which files hold the HID services and what gives
// access to a unit. One file per system.

#include <QString>

namespace cli {

// The HID services could not be loaded.
QString NoServicesText();
// `path` can be seen but not opened for reading and writing.
QString NoAccessText(const QString& path);

} // namespace cli
