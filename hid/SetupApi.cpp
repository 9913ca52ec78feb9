#include "hid/SetupApi.h"

#include "hid/Hid.h"

#include "hid/ModuleLoader.h"

namespace SetupApi {

SETUPSVC_EXPORTS(SERVICE_TABLE_ENTRY, SERVICE_TABLE_ENTRY)
#define SETUPAPI_ALIAS_ENTRY(alias, name) decltype(&::name) alias = nullptr;
SETUPAPI_ALIASES(SETUPAPI_ALIAS_ENTRY)
#undef SETUPAPI_ALIAS_ENTRY

namespace {

ModuleLoader::TModuleHandle module;
int useCount = 0;

bool resolveAll() {
    bool ok = true;
#define RESOLVE_ENTRY(result, name, parameters) ModuleLoader::ResolveEntry(module, name, #name, ok);
#define RESOLVE_OPTIONAL(result, name, parameters)                                                 \
    ModuleLoader::ResolveOptionalEntry(module, name, #name);
#define RESOLVE_ALIAS(alias, name) ModuleLoader::ResolveEntry(module, alias, #name, ok);
    SETUPSVC_EXPORTS(RESOLVE_ENTRY, RESOLVE_OPTIONAL)
    SETUPAPI_ALIASES(RESOLVE_ALIAS)
#undef RESOLVE_ENTRY
#undef RESOLVE_OPTIONAL
#undef RESOLVE_ALIAS
    return ok;
}

void nullAll() {
    SETUPSVC_EXPORTS(SERVICE_TABLE_ENTRY_RESET, SERVICE_TABLE_ENTRY_RESET)
#define RESET_ALIAS(alias, name) alias = nullptr;
    SETUPAPI_ALIASES(RESET_ALIAS)
#undef RESET_ALIAS
}

} // namespace

bool AcquireSetupApi() {
    ++useCount;
    if (useCount > 1)
        return true;
    if (!ModuleLoader::OpenModule(module, "SetupApi.dll", "libsetupsvc.so")) {
        --useCount;
        return false;
    }
    if (!resolveAll()) {
        ReleaseSetupApi();
        return false;
    }
    return true;
}

void ReleaseSetupApi() {
    --useCount;
    if (useCount <= 0) {
        useCount = 0;
        if (Hid::ServicesPinned())
            return;
        ModuleLoader::CloseModule(module);
        nullAll();
    }
}

int SetupApiUseCount() {
    return useCount;
}

bool SetupApiLoaded() {
    return module.Loaded();
}

} // namespace SetupApi
