// Binding of the 117 host functions in the game's fixed order.
#include "binding.h"

#include <cstdio>

#include "host.h"

namespace denmark {

HostFunctionTable HostFunctions;
void* HostModule;

void* BindHostFunction(HostPlatform& platform, const char* name) {
    void* entry = platform.FindExport(HostModule, name);
    if (!entry) {
        char text[256];
        std::snprintf(text, sizeof text, "ZORM.EXE does not contain function: %s", name);
        platform.ShowMessage(text, "DLL init error.");
    }
    return entry;
}

void BindHost(HostPlatform& platform) {
    HostModule = platform.FindModule("ZORM.EXE");
    if (!HostModule) {
        platform.ShowMessage("Can not detect ZORM.EXE", "ERROR!");
        return;
    }
#define DENMARK_BIND_CALLED(name, result, params, args) \
    HostFunctions.name = reinterpret_cast<result(*) params>(BindHostFunction(platform, #name));
#define DENMARK_BIND_UNUSED(name) \
    HostFunctions.name = reinterpret_cast<HostUnusedFunction>(BindHostFunction(platform, #name));
    ZORM_HOST_FUNCTIONS(DENMARK_BIND_CALLED, DENMARK_BIND_UNUSED)
#undef DENMARK_BIND_CALLED
#undef DENMARK_BIND_UNUSED
}

}  // namespace denmark
