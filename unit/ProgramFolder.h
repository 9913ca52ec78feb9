#pragma once
// The folder of the running program file, for the programs above the unit library (which reach
// no HID header): empty when it can't be found.

#include <string>

namespace unit {

std::string ProgramFolder();

} // namespace unit
