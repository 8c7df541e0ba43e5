// Plays a scenario against a plug-in: InitAI, then one export call per tick.
#pragma once

#include "host_sim.h"

namespace zorm {

using PluginEntry = void (*)();

struct PluginEntries {
    PluginEntry InitAI = nullptr;
    PluginEntry ProcessAI = nullptr;
    PluginEntry ProcessLandAI = nullptr;
    PluginEntry ProcessMiddleSeaAI = nullptr;
};

// Runs the whole scenario with `host` active; a missing export is reported in the trace and
// skipped. Returns false when an export the scenario needs was missing.
bool PlayGame(HostSim& host, const PluginEntries& plugin);

}  // namespace zorm
