#include "framework/Home.h"

namespace framework {

bool HomeUsable() {
    return true;
}

} // namespace framework
