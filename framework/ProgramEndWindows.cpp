#include "framework/ProgramEnd.h"

#include <cstdlib>

namespace framework {

void EndAtOnce(int status) {
    std::_Exit(status);
}

} // namespace framework
