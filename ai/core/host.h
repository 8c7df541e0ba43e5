// The bound host functions and the guarded calls the plug-in makes through them.
#pragma once

#include "zorm_host_abi.h"

namespace denmark {

// One entry point per host function, named after it. An entry stays null when the game does
// not export the function.
struct HostFunctionTable {
#define DENMARK_CALLED_ENTRY(name, result, params, args) result(*name) params;
#define DENMARK_UNUSED_ENTRY(name) HostUnusedFunction name;
    ZORM_HOST_FUNCTIONS(DENMARK_CALLED_ENTRY, DENMARK_UNUSED_ENTRY)
#undef DENMARK_CALLED_ENTRY
#undef DENMARK_UNUSED_ENTRY
};

extern HostFunctionTable HostFunctions;
extern void* HostModule;

// Calls through these wrappers never reach a null entry: an unbound function is skipped and
// its result reads as 0 (false).
namespace host {
#define DENMARK_CALLED_WRAPPER(name, result, params, args) \
    inline result name params {                            \
        if (!HostFunctions.name) return result();          \
        return HostFunctions.name args;                    \
    }
#define DENMARK_UNUSED_WRAPPER(name)
ZORM_HOST_FUNCTIONS(DENMARK_CALLED_WRAPPER, DENMARK_UNUSED_WRAPPER)
#undef DENMARK_CALLED_WRAPPER
#undef DENMARK_UNUSED_WRAPPER

inline bool IsTrue(HostBool b) { return b != 0; }
}  // namespace host

}  // namespace denmark
