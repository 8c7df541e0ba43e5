// denmark_replay: the test host with the plug-in's core linked in (native build). It plays one
// scenario and writes the same trace as ZORM.EXE with Denmark.dll does, so the expected traces
// can be made again from their scenarios without Wine (ai/tests/wine/update_traces.sh).
//
//   denmark_replay SCENARIO > TRACE
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "binding.h"
#include "game.h"
#include "plugin.h"
#include "scenario.h"

namespace {

// Binding finds the host's functions by name in this program, as the DLL finds them in ZORM.EXE.
class ReplayPlatform final : public denmark::HostPlatform {
public:
    void* FindModule(const char* fileName) override {
        static int module;
        return std::strcmp(fileName, "ZORM.EXE") == 0 ? &module : nullptr;
    }
    void* FindExport(void*, const char* name) override {
        for (const zorm::HostExport& e : zorm::kHostExports)
            if (std::strcmp(e.name, name) == 0) return e.entry;
        return nullptr;
    }
    void ShowMessage(const char* text, const char* caption) override {
        std::fprintf(stderr, "denmark_replay: %s: %s\n", caption, text);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: denmark_replay SCENARIO > TRACE\n", stderr);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    if (!in) {
        std::fprintf(stderr, "denmark_replay: cannot read %s\n", argv[1]);
        return 2;
    }
    zorm::Scenario scenario;
    try {
        scenario = zorm::ParseScenario(text.str());
    } catch (const zorm::ScenarioError& e) {
        std::fprintf(stderr, "denmark_replay: %s: %s\n", argv[1], e.what());
        return 2;
    }
    zorm::HostSim host(scenario, std::cout);
    if (!scenario.name.empty()) host.Note("scenario: " + scenario.name);
    zorm::SetActiveHost(&host);
    host.Note("load plug-in");
    ReplayPlatform platform;
    denmark::BindHost(platform);
    zorm::PluginEntries entries;
    entries.InitAI = &denmark::InitAI;
    entries.ProcessAI = &denmark::ProcessAI;
    entries.ProcessLandAI = &denmark::ProcessLandAI;
    entries.ProcessMiddleSeaAI = &denmark::ProcessMiddleSeaAI;
    bool ok = zorm::PlayGame(host, entries);
    std::cout.flush();
    return ok ? 0 : 4;
}
