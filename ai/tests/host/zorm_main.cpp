// ZORM.EXE, the test host: stands in for the game, loads an AI plug-in, plays a scenario
// against it and writes every host call the plug-in makes to a trace.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "game.h"
#include "scenario.h"

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

const char kUsage[] =
    "usage: ZORM.EXE [--plugin DLL] [--trace FILE] SCENARIO [SCENARIO ...]\n"
    "  Loads the AI plug-in (default: AI\\Denmark.dll beside this program), calls InitAI and\n"
    "  then the scenario's export once per tick, and writes each host call the plug-in makes,\n"
    "  with its arguments and the answer given, to FILE (default: standard output).\n"
    "  Several scenarios are played one after another as games of the same session: the\n"
    "  plug-in stays loaded between them.\n";

std::string ExeFolder() {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

}  // namespace

// Reads and parses one scenario file; prints the reason and returns false when it cannot.
bool ReadScenarioFile(const std::string& file, zorm::Scenario& scenario) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "ZORM: cannot read %s\n", file.c_str());
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    try {
        scenario = zorm::ParseScenario(text.str());
    } catch (const zorm::ScenarioError& e) {
        std::fprintf(stderr, "ZORM: %s: %s\n", file.c_str(), e.what());
        return false;
    }
    return true;
}

int main(int argc, char** argv) {
    std::string plugin = ExeFolder() + "AI\\Denmark.dll";
    std::string traceFile;
    std::vector<std::string> scenarioFiles;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--plugin" && i + 1 < argc)
            plugin = argv[++i];
        else if (a == "--trace" && i + 1 < argc)
            traceFile = argv[++i];
        else if (!a.empty() && a[0] != '-')
            scenarioFiles.push_back(a);
        else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (scenarioFiles.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    std::vector<zorm::Scenario> scenarios(scenarioFiles.size());
    for (std::size_t i = 0; i < scenarioFiles.size(); ++i)
        if (!ReadScenarioFile(scenarioFiles[i], scenarios[i])) return 2;

    std::ofstream traceOut;
    if (!traceFile.empty()) {
        traceOut.open(traceFile, std::ios::binary);
        if (!traceOut) {
            std::fprintf(stderr, "ZORM: cannot write %s\n", traceFile.c_str());
            return 2;
        }
    }
    std::ostream& trace = traceFile.empty() ? std::cout : traceOut;
    auto host = std::make_unique<zorm::HostSim>(scenarios[0], trace);
    if (!scenarios[0].name.empty()) host->Note("scenario: " + scenarios[0].name);

    // The plug-in binds the host functions while it loads; calls made then are traced too.
    zorm::SetActiveHost(host.get());
    host->Note("load plug-in");
    HMODULE dll = LoadLibraryA(plugin.c_str());
    if (!dll) {
        std::fprintf(stderr, "ZORM: cannot load %s (error %lu)\n", plugin.c_str(),
                     static_cast<unsigned long>(GetLastError()));
        return 3;
    }
    zorm::PluginEntries entries;
    entries.InitAI = reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "InitAI"));
    entries.ProcessAI = reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessAI"));
    entries.ProcessLandAI = reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessLandAI"));
    entries.ProcessMiddleSeaAI =
        reinterpret_cast<zorm::PluginEntry>(GetProcAddress(dll, "ProcessMiddleSeaAI"));
    bool ok = zorm::PlayGame(*host, entries);
    for (std::size_t i = 1; i < scenarios.size(); ++i) {
        auto next = std::make_unique<zorm::HostSim>(scenarios[i], trace);
        if (!scenarios[i].name.empty()) next->Note("scenario: " + scenarios[i].name);
        zorm::SetActiveHost(next.get());
        host = std::move(next);
        ok = zorm::PlayGame(*host, entries) && ok;
    }
    trace.flush();
    return ok ? 0 : 4;
}
