#include "hid/ModuleLoader.h"

#include "hid/HidLogging.h"
#include "platform/ProgramFolder.h"

#ifdef _WIN32
#include <float.h>
#include <windows.h>
#else
#include <cfenv>
#include <dlfcn.h>
#endif

namespace ModuleLoader {

TModuleHandle::~TModuleHandle() {
    CloseModule(*this);
}

std::string ProgramFolder() {
    return platform::ProgramFolder();
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
