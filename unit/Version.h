#pragma once
// The version both programs report.

#include <QString>

namespace unit {

QString VersionText();

} // namespace unit
