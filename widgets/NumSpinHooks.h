#pragma once
// What the spin field asks of the system, replaceable so that tests can
// observe or vary it.

#include <functional>

namespace numspin {

// The default beep of a refused key or a step on a read-only field.
// Default: QApplication::beep().
extern std::function<void()> MessageBeep;

// The major version of the system; below 4 the standard button kind is not
// offered and the diagonal button is used instead.
extern std::function<int()> SystemMajorVersion;

void Beep();

} // namespace numspin
