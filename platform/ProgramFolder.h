#pragma once
// The folder of the running program file: where the service modules are looked for first, where
// the virtual unit's control is found, and where screenshots go when it can be written. Plain C++
// with no Qt and nothing to link, so the program (through hid/ModuleLoader), the modules' control
// header and the test programs all take it from here.

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace platform {

// Without a trailing slash ("/" for a program in the root folder); empty when it can't be found.
inline std::string ProgramFolder() {
#ifdef _WIN32
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    const std::string file(path, length);
    const auto slash = file.find_last_of("\\/");
#else
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path)
        return {};
    const std::string file(path, static_cast<size_t>(length));
    const auto slash = file.rfind('/');
#endif
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? file.substr(0, 1) : file.substr(0, slash);
}

} // namespace platform
