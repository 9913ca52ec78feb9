#include "hid/ModuleLoader.h"

#include "hid/HidLogging.h"

#ifdef _WIN32
#include <float.h>
#include <windows.h>
#else
#include <cfenv>
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>
#endif

namespace ModuleLoader {

TModuleHandle::~TModuleHandle() {
    CloseModule(*this);
}

void NoteMissingExport(const char* name) {
    qCWarning(lcHid) << "the service module lacks the export" << name;
}

#ifdef _WIN32

bool OpenModule(TModuleHandle& module, const char* windowsName, const char* /*linuxFileName*/) {
    if (module.handle_ == nullptr) {
        // A missing library must not pop up a system dialog, and some
        // libraries change the FPU control word as they load.
        const UINT oldMode = SetErrorMode(SEM_NOOPENFILEERRORBOX);
        const unsigned int fpuControl = _control87(0, 0);
        module.handle_ = LoadLibraryA(windowsName);
        _control87(fpuControl, 0xFFFFFFFFu);
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
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module.handle_), name));
}

std::string ProgramFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string result(path, length);
    const auto slash = result.find_last_of("\\/");
    return slash == std::string::npos ? std::string() : result.substr(0, slash);
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

std::string ProgramFolder() {
    char path[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path)
        return {};
    std::string result(path, static_cast<size_t>(length));
    const auto slash = result.rfind('/');
    if (slash == std::string::npos)
        return {};
    return slash == 0 ? std::string("/") : result.substr(0, slash);
}

#endif

} // namespace ModuleLoader
