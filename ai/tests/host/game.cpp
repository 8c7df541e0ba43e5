// The game loop of the ZORM test host.
#include "game.h"

namespace zorm {

namespace {

bool Call(HostSim& host, const char* name, PluginEntry entry, const std::string& header) {
    host.Note(header);
    if (!entry) {
        host.Note(std::string("the plug-in does not export ") + name);
        return false;
    }
    entry();
    return true;
}

PluginEntry Find(const PluginEntries& p, const std::string& name) {
    if (name == "ProcessAI") return p.ProcessAI;
    if (name == "ProcessLandAI") return p.ProcessLandAI;
    if (name == "ProcessMiddleSeaAI") return p.ProcessMiddleSeaAI;
    return nullptr;
}

}  // namespace

bool PlayGame(HostSim& host, const PluginEntries& plugin) {
    SetActiveHost(&host);
    bool ok = true;
    if (host.scenario().initAI) ok &= Call(host, "InitAI", plugin.InitAI, "InitAI");
    const int ticks = host.scenario().ticks;
    for (int k = 1; k <= ticks; ++k) {
        const TickDirectives d = host.Tick(k);
        if (d.newGame) ok &= Call(host, "InitAI", plugin.InitAI, "InitAI (new game)");
        ok &=
            Call(host, d.entry.c_str(), Find(plugin, d.entry), "tick " + std::to_string(k) + ": " + d.entry);
    }
    host.Note("end: " + std::to_string(ticks) + " tick(s), " + std::to_string(host.calls()) +
              " host call(s)");
    SetActiveHost(nullptr);
    return ok;
}

}  // namespace zorm
