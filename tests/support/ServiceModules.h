#pragma once
// The two service modules as a test reaches them: loaded by file name and resolved by export
// name into tables whose entries carry the prototypes of platform/ServiceExports.h, so a test
// calls every export with the types the modules define it with.

#include "platform/ServiceExports.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <string>
#include <type_traits>

namespace testsupport {

// THidServices::HidD_GetFeature and so on: one entry per export, null until resolved.
struct THidServices {
    HIDSVC_EXPORTS(SERVICE_TABLE_ENTRY, SERVICE_TABLE_ENTRY)
};

struct TSetupServices {
    SETUPSVC_EXPORTS(SERVICE_TABLE_ENTRY, SERVICE_TABLE_ENTRY)
};

namespace detail {

template <typename F> void ResolveExport(void* module, F& entry, const char* name) {
#ifdef _WIN32
    entry = module ? reinterpret_cast<F>(reinterpret_cast<void (*)()>(
                         GetProcAddress(static_cast<HMODULE>(module), name)))
                   : nullptr;
#else
    entry = module ? reinterpret_cast<F>(dlsym(module, name)) : nullptr;
#endif
}

inline void NoteMissing(std::string& missing, bool found, const char* name) {
    if (!found)
        missing += std::string(missing.empty() ? "" : ", ") + name;
}

} // namespace detail

// Fills every entry from `module` (null: every entry null). The names of required exports the
// module lacks are added to `missing`, separated by ", "; optional ones may stay null.
#define TESTSUPPORT_RESOLVE_REQUIRED(result, name, parameters)                                     \
    detail::ResolveExport(module, table.name, #name);                                              \
    detail::NoteMissing(missing, table.name != nullptr, #name);
#define TESTSUPPORT_RESOLVE_OPTIONAL(result, name, parameters)                                     \
    detail::ResolveExport(module, table.name, #name);

inline void ResolveServices(void* module, THidServices& table, std::string& missing) {
    HIDSVC_EXPORTS(TESTSUPPORT_RESOLVE_REQUIRED, TESTSUPPORT_RESOLVE_OPTIONAL)
}

inline void ResolveServices(void* module, TSetupServices& table, std::string& missing) {
    SETUPSVC_EXPORTS(TESTSUPPORT_RESOLVE_REQUIRED, TESTSUPPORT_RESOLVE_OPTIONAL)
}

#undef TESTSUPPORT_RESOLVE_REQUIRED
#undef TESTSUPPORT_RESOLVE_OPTIONAL

} // namespace testsupport
