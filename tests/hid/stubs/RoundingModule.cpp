// A library that changes the floating-point rounding as it loads, the way a
// library built with fast-math options changes the control state of the
// floating-point unit when it is loaded.

#include <cfenv>

__attribute__((constructor)) static void changeRounding() {
    std::fesetround(FE_DOWNWARD);
}

extern "C" int RoundingModule_Present(void) {
    return 1;
}
