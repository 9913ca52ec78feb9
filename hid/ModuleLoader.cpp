#include "hid/ModuleLoader.h"

#include "hid/HidLogging.h"
#include "platform/ProgramFolder.h"

#include <cfenv>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace ModuleLoader {

TModuleHandle::~TModuleHandle() {
    CloseModule(*this);
}

std::string ProgramFolder() {
    return platform::ProgramFolder();
}

std::string OwnModuleName(const std::string& linuxFileName) {
    std::string name = linuxFileName;
    if (name.rfind("lib", 0) == 0)
        name.erase(0, 3);
    if (name.size() > 3 && name.compare(name.size() - 3, 3, ".so") == 0)
        name.replace(name.size() - 3, 3, ".dll");
    return name;
}

void NoteMissingExport(const char* name, bool required) {
    if (required)
        qCWarning(lcHid) << "the service module lacks the export" << name;
    else
        qCDebug(lcHid) << "the service module lacks the optional export" << name;
}

#ifdef _WIN32

namespace {

std::wstring Widened(const std::string& utf8) {
    const int size =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

} // namespace

bool OpenModule(TModuleHandle& module, const char* windowsName, const char* linuxFileName) {
    if (module.handle_ == nullptr) {
        // A missing library must not pop up a system dialog, and some libraries change the
        // floating-point control state as they load; the program's arithmetic keeps its own.
        const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        std::fenv_t environment;
        const bool saved = std::fegetenv(&environment) == 0;
        // Beside the program, by full path: first a module pair of the project's own under its
        // own name (the demo's virtual pair, setupsvc.dll and hidsvc.dll), which shadows nothing
        // the system or Qt load by the system's names; then a module of the system's name (a
        // known system library such as SetupApi.dll would be taken from the system folder by
        // name). Its own dependencies are then looked for beside it too.
        const std::string folder = ProgramFolder();
        DWORD besideError = ERROR_SUCCESS;
        if (!folder.empty()) {
            for (const std::string& name :
                 {OwnModuleName(linuxFileName), std::string(windowsName)}) {
                const std::wstring besideProgram = Widened(folder + "\\" + name);
                if (module.handle_ != nullptr ||
                    GetFileAttributesW(besideProgram.c_str()) == INVALID_FILE_ATTRIBUTES)
                    continue;
                module.handle_ =
                    LoadLibraryExW(besideProgram.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
                if (module.handle_ == nullptr)
                    besideError = GetLastError();
            }
        }
        if (module.handle_ == nullptr) {
            module.handle_ = LoadLibraryA(windowsName);
            if (module.handle_ == nullptr) {
                const DWORD error = GetLastError();
                qCWarning(lcHid).nospace()
                    << "cannot load " << windowsName << ": "
                    << qt_error_string(static_cast<int>(error))
                    << (besideError == ERROR_SUCCESS ? "" : "; beside the program: ")
                    << (besideError == ERROR_SUCCESS
                            ? QString()
                            : qt_error_string(static_cast<int>(besideError)));
            }
        }
        if (saved)
            std::fesetenv(&environment);
        SetErrorMode(oldMode);
    }
    return module.handle_ != nullptr;
}

void CloseModule(TModuleHandle& module) {
    if (module.handle_ != nullptr)
        FreeLibrary(static_cast<HMODULE>(module.handle_));
    module.handle_ = nullptr;
}

void* FindExport(const TModuleHandle& module, const char* name) {
    if (module.handle_ == nullptr)
        return nullptr;
    // Through the one function pointer type a cast to any other is meant to go through.
    const auto address =
        reinterpret_cast<void (*)()>(GetProcAddress(static_cast<HMODULE>(module.handle_), name));
    return reinterpret_cast<void*>(address);
}

#else

bool OpenModule(TModuleHandle& module, const char* /*windowsName*/, const char* linuxFileName) {
    if (module.handle_ == nullptr) {
        // Some libraries change the floating-point control state as they
        // load (fast-math builds, for one); the program's arithmetic keeps
        // its own.
        std::fenv_t environment;
        const bool saved = std::fegetenv(&environment) == 0;
        const std::string folder = ProgramFolder();
        std::string besideError;
        if (!folder.empty()) {
            const std::string besideProgram = folder + "/" + linuxFileName;
            module.handle_ = ::dlopen(besideProgram.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (module.handle_ == nullptr)
                if (const char* reason = ::dlerror())
                    besideError = reason;
        }
        if (module.handle_ == nullptr) {
            module.handle_ = ::dlopen(linuxFileName, RTLD_NOW | RTLD_LOCAL);
            if (module.handle_ == nullptr) {
                const char* reason = ::dlerror();
                qCWarning(lcHid).nospace()
                    << "cannot load " << linuxFileName << ": " << (reason ? reason : "unknown")
                    << (besideError.empty() ? "" : "; beside the program: ") << besideError.c_str();
            }
        }
        if (saved)
            std::fesetenv(&environment);
    }
    return module.handle_ != nullptr;
}

void CloseModule(TModuleHandle& module) {
    if (module.handle_ != nullptr)
        ::dlclose(module.handle_);
    module.handle_ = nullptr;
}

void* FindExport(const TModuleHandle& module, const char* name) {
    if (module.handle_ == nullptr)
        return nullptr;
    return ::dlsym(module.handle_, name);
}

#endif

} // namespace ModuleLoader
