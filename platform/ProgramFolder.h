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
// The file system's bytes on Linux, UTF-8 on Windows: both what Qt 6 decodes with fromUtf8.
inline std::string ProgramFolder() {
#ifdef _WIN32
    // In UTF-8, so that a folder name outside the ANSI code page survives.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string file(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, path.data(), static_cast<int>(path.size()), file.data(), size,
                        nullptr, nullptr);
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
