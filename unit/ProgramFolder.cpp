#include "unit/ProgramFolder.h"

#include "hid/ModuleLoader.h"

namespace unit {

std::string ProgramFolder() {
    return ModuleLoader::ProgramFolder();
}

} // namespace unit
