#include "framework/RunningMark.h"

namespace framework {

TRunningMark::TRunningMark(const wchar_t*) {}
TRunningMark::~TRunningMark() = default;

bool TRunningMark::Held(const wchar_t*) {
    return false;
}

} // namespace framework
