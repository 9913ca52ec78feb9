#include "hid/HidReportChannel.h"

#include "hid/Hid.h"
#include "platform/win32/FileIo.h"

#include <utility>

THidReportChannel::THidReportChannel(std::string interfacePath) : Path_(std::move(interfacePath)) {}

THidReportChannel::~THidReportChannel() {
    if (Handle_ != INVALID_HANDLE_VALUE)
        CloseHandle(Handle_);
}

bool THidReportChannel::Open() {
    if (Handle_ != INVALID_HANDLE_VALUE)
        return true;
    if (Opened_) {
        SetLastError(ERROR_DEVICE_NOT_CONNECTED);
        return false;
    }
    // Until one open succeeds, each call tries again: access may be granted meanwhile.
    Handle_ = CreateFileA(Path_.c_str(), GENERIC_READ | GENERIC_WRITE,
                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    Opened_ = Handle_ != INVALID_HANDLE_VALUE;
    return Opened_;
}

bool THidReportChannel::GetFeatureReport(unsigned char* buf, int len) {
    if (buf == nullptr || len <= 0 || Hid::HidD_GetFeature == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return Open() && Hid::HidD_GetFeature(Handle_, buf, static_cast<ULONG>(len)) != 0;
}

bool THidReportChannel::SetFeatureReport(unsigned char* buf, int len) {
    if (buf == nullptr || len <= 0 || Hid::HidD_SetFeature == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return Open() && Hid::HidD_SetFeature(Handle_, buf, static_cast<ULONG>(len)) != 0;
}
