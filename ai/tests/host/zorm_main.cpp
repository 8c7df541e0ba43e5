// ZORM.EXE, the test host: stands in for the game, loads an AI plug-in, plays a scenario
// against it and writes every host call the plug-in makes to a trace.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "game.h"
#include "scenario.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

const char kUsage[] =
    "usage: ZORM.EXE [--plugin DLL] [--trace FILE] SCENARIO\n"
    "  Loads the AI plug-in (default: AI\\Denmark.dll beside this program), calls InitAI and\n"
    "  then the scenario's export once per tick, and writes each host call the plug-in makes,\n"
    "  with its arguments and the answer given, to FILE (default: standard output).\n";

std::string ExeFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

}  // namespace

int main(int argc, char** argv) {
    std::string plugin = ExeFolder() + "AI\\Denmark.dll";
    std::string traceFile;
    std::string scenarioFile;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--plugin" && i + 1 < argc) plugin = argv[++i];
        else if (a == "--trace" && i + 1 < argc) traceFile = argv[++i];
        else if (!a.empty() && a[0] != '-' && scenarioFile.empty()) scenarioFile = a;
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (scenarioFile.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }

    std::ifstream in(scenarioFile, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "ZORM: cannot read %s\n", scenarioFile.c_str());
        return 2;
    }
    std::stringstream text;
    text << in.rdbuf();
    zorm::Scenario scenario;
    try {
        scenario = zorm::ParseScenario(text.str());
    } catch (const zorm::ScenarioError& e) {
        std::fprintf(stderr, "ZORM: %s: %s\n", scenarioFile.c_str(), e.what());
        return 2;
    }

    std::ofstream traceOut;
    if (!traceFile.empty()) {
        traceOut.open(traceFile, std::ios::binary);
        if (!traceOut) {
            std::fprintf(stderr, "ZORM: cannot write %s\n", traceFile.c_str());
            return 2;
        }
    }
    std::ostream& trace = traceFile.empty() ? std::cout : traceOut;
    zorm::HostSim host(scenario, trace);
    if (!scenario.name.empty()) host.Note("scenario: " + scenario.name);

    // The plug-in binds the host functions while it loads; calls made then are traced too.
    zorm::SetActiveHost(&host);
    host.Note("load plug-in");
    HMODULE dll = LoadLibraryA(plugin.c_str());
    if (!dll) {
        std::fprintf(stderr, "ZORM: cannot load %s (error %lu)\n", plugin.c_str(),
                     static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    zorm::PluginEntries entries;
    entries.InitAI = reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "InitAI"));
    entries.ProcessAI = reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessAI"));
    entries.ProcessLandAI =
        reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessLandAI"));
    entries.ProcessMiddleSeaAI =
        reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessMiddleSeaAI"));
    const bool ok = zorm::PlayGame(host, entries);
    trace.flush();
    return ok ? 0 : 4;
}
