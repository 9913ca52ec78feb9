#pragma once
// Loading a service library at run time and resolving its exports by name.
//
// On Linux the library is loaded by its module file name ("libhidsvc.so",
// "libsetupsvc.so"), first from the folder of the program file, then through
// the dynamic loader's ordinary search (docs/hid-modules.md). On Windows from
// the program's folder under the project's own name (OwnModuleName: the demo's
// "hidsvc.dll", "setupsvc.dll"), then under the system's name ("HID.dll",
// "SetupApi.dll"), then the system's own.

#include <string>

namespace ModuleLoader {

// One loaded library. Closing happens through CloseModule, or when the
// object ends; a handle is never copied, so it is closed exactly once.
class TModuleHandle {
public:
    TModuleHandle() = default;
    ~TModuleHandle();
    TModuleHandle(const TModuleHandle&) = delete;
    TModuleHandle& operator=(const TModuleHandle&) = delete;

    bool Loaded() const { return handle_ != nullptr; }
    void* Native() const { return handle_; }

private:
    friend bool OpenModule(TModuleHandle&, const char*, const char*);
    friend void CloseModule(TModuleHandle&);
    friend void* FindExport(const TModuleHandle&, const char*);
    void* handle_ = nullptr;
};

// Loads the library unless it is loaded already. True when it is loaded.
// Whatever the library does to the floating-point control state as it loads
// is undone.
bool OpenModule(TModuleHandle& module, const char* windowsName, const char* linuxFileName);

// The Windows file name of one of the project's own modules, made from its Linux name:
// "libsetupsvc.so" gives "setupsvc.dll".
std::string OwnModuleName(const std::string& linuxFileName);

// Unloads the library if it is loaded.
void CloseModule(TModuleHandle& module);

// The address of an export, or null (also without a loaded library).
void* FindExport(const TModuleHandle& module, const char* name);

// Logs an export that a loaded library lacks: a warning for a required one; for an optional one,
// which the system's own library may well lack, a debug line.
void NoteMissingExport(const char* name, bool required = true);

// Fills one table entry by export name; `ok` is and-ed with "found". A
// missing export is logged.
template <typename F>
void ResolveEntry(const TModuleHandle& module, F& entry, const char* name, bool& ok) {
    entry = reinterpret_cast<F>(FindExport(module, name));
    if (entry == nullptr && module.Loaded())
        NoteMissingExport(name);
    ok = ok && entry != nullptr;
}

// Fills one entry of an export the library may lack.
template <typename F>
void ResolveOptionalEntry(const TModuleHandle& module, F& entry, const char* name) {
    entry = reinterpret_cast<F>(FindExport(module, name));
    if (entry == nullptr && module.Loaded())
        NoteMissingExport(name, false);
}

// The folder of the running program file, without a trailing slash; empty
// when it can't be found. The program's one way to it (the rest of the
// program reaches it through here, as only hid/ talks to platform/).
std::string ProgramFolder();

} // namespace ModuleLoader
