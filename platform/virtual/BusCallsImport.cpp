// The HID module's side of the link to the setup module (see HidBusCalls): the bus calls, made in
// the setupapi.dll beside this module, loaded by its full path.

#include "platform/virtual/VirtualBus.h"

#include <string>

namespace virtualunit {

namespace {

const HidBusCalls* resolveCalls() {
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&resolveCalls), &self))
        return nullptr;
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(self, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return nullptr;
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return nullptr;
        path.resize(path.size() * 2);
    }
    const auto slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return nullptr;
    path.replace(slash + 1, std::wstring::npos, L"setupsvc.dll");
    // Kept loaded for as long as this module is: the units live there.
    const HMODULE setup = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (setup == nullptr)
        return nullptr;
    using Resolver = const HidBusCalls* (*)();
    const auto resolver = reinterpret_cast<Resolver>(
        reinterpret_cast<void (*)()>(GetProcAddress(setup, kHidBusCallsExport)));
    return resolver != nullptr ? resolver() : nullptr;
}

// Without the setup module of the pair (the system's took its place), no handle is a unit's.
const HidBusCalls* calls() {
    static const HidBusCalls* const resolved = resolveCalls();
    return resolved;
}

} // namespace

int checkHandle(HANDLE handle) {
    return calls() != nullptr ? calls()->check(handle) : ERROR_INVALID_HANDLE;
}

int deviceString(HANDLE handle, StringKind kind, std::u16string& out) {
    return calls() != nullptr ? calls()->string(handle, kind, out) : ERROR_INVALID_HANDLE;
}

int getFeature(HANDLE handle, uint8_t* buffer, size_t length) {
    return calls() != nullptr ? calls()->get(handle, buffer, length) : ERROR_INVALID_HANDLE;
}

int setFeature(HANDLE handle, const uint8_t* buffer, size_t length) {
    return calls() != nullptr ? calls()->set(handle, buffer, length) : ERROR_INVALID_HANDLE;
}

int flushInput(HANDLE handle) {
    return calls() != nullptr ? calls()->flush(handle) : ERROR_INVALID_HANDLE;
}

int lastInputReport(HANDLE handle, uint8_t* buffer, size_t length) {
    return calls() != nullptr ? calls()->lastInput(handle, buffer, length) : ERROR_INVALID_HANDLE;
}

} // namespace virtualunit
