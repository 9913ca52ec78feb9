#include "framework/RunningMark.h"

#include <windows.h>

namespace framework {

// Not owned (FALSE): only its existence tells; every running copy holds a handle of its own, and
// the name goes when the last one closes, also when a program ends without cleaning up.
TRunningMark::TRunningMark(const wchar_t* name) : handle_(CreateMutexW(nullptr, FALSE, name)) {}

TRunningMark::~TRunningMark() {
    if (handle_ != nullptr)
        CloseHandle(static_cast<HANDLE>(handle_));
}

bool TRunningMark::Held(const wchar_t* name) {
    const HANDLE mark = OpenMutexW(SYNCHRONIZE, FALSE, name);
    if (mark == nullptr)
        return false;
    CloseHandle(mark);
    return true;
}

} // namespace framework
