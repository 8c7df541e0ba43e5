// The 117 functions of the game's script interface, forwarding to the active test host.
// The Windows build exports them from ZORM.EXE by name (a generated .def file); native tests
// find them through kHostExports.
#include "host_sim.h"

extern "C" {
#define ZORM_EXPORT_CALLED(name, result, params, args) \
    result name params { return zorm::ActiveHost().name args; }
#define ZORM_EXPORT_UNUSED(name) \
    void name(void) { zorm::ActiveHost().Unused(#name); }
ZORM_HOST_FUNCTIONS(ZORM_EXPORT_CALLED, ZORM_EXPORT_UNUSED)
#undef ZORM_EXPORT_CALLED
#undef ZORM_EXPORT_UNUSED
}

namespace zorm {

const HostExport kHostExports[117] = {
#define ZORM_EXPORT_ENTRY(name, result, params, args) {#name, reinterpret_cast<void*>(&::name)},
#define ZORM_EXPORT_UNUSED_ENTRY(name) {#name, reinterpret_cast<void*>(&::name)},
    ZORM_HOST_FUNCTIONS(ZORM_EXPORT_ENTRY, ZORM_EXPORT_UNUSED_ENTRY)
#undef ZORM_EXPORT_ENTRY
#undef ZORM_EXPORT_UNUSED_ENTRY
};

}  // namespace zorm
