#include "widgets/NumSpinHooks.h"

#include <QApplication>

namespace numspin {

namespace {
// Every desktop Qt runs on draws the standard up-down control.
constexpr int kCurrentSystemMajorVersion = 10;
} // namespace

std::function<void()> MessageBeep = [] { QApplication::beep(); };

std::function<int()> SystemMajorVersion = [] { return kCurrentSystemMajorVersion; };

void Beep() {
    if (MessageBeep)
        MessageBeep();
}

} // namespace numspin
