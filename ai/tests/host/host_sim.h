// The game side of the ZORM test host: answers every host call from the scenario's state
// and writes each call, with its arguments and answer, to the trace.
#pragma once

#include <map>
#include <ostream>
#include <string>

#include "scenario.h"
#include "zorm_host_abi.h"

namespace zorm {

class HostSim {
public:
    HostSim(Scenario scenario, std::ostream& trace);

    const Scenario& scenario() const { return scenario_; }
    GameState& state() { return state_; }
    long calls() const { return calls_; }

    // Section headers of the trace.
    void Note(const std::string& text);
    // Applies the changes that hold from tick k on; says which export to call and whether a
    // new game starts (InitAI first).
    TickDirectives Tick(int k);

    // The name a handle was last registered under, or "<unregistered>".
    std::string NameOf(const HostHandle* h) const;

#define ZORM_SIM_METHOD(name, result, params, args) result name params;
#define ZORM_SIM_UNUSED(name)
    ZORM_HOST_FUNCTIONS(ZORM_SIM_METHOD, ZORM_SIM_UNUSED)
#undef ZORM_SIM_METHOD
#undef ZORM_SIM_UNUSED

    // A call of one of the functions whose shape the plug-in does not rely on.
    void Unused(const char* name);

private:
    std::ostream& Line();
    void Register(const char* function, HostHandle* h, const char* name);
    bool Queued(const std::string& call, int32_t& value);
    int32_t Answer(const std::string& call, int32_t value);
    HostBool Answer(const std::string& call, bool value);

    Scenario scenario_;
    GameState state_;
    std::ostream& trace_;
    std::map<const HostHandle*, std::string> names_;
    std::size_t randomDraws_ = 0;
    long calls_ = 0;
};

// The host whose exported functions are being called; set by whoever runs the plug-in.
void SetActiveHost(HostSim* host);
HostSim& ActiveHost();

// Every host function by name, as the game executable exports them.
struct HostExport {
    const char* name;
    void* entry;
};
extern const HostExport kHostExports[117];

}  // namespace zorm
