// In-process game for the unit tests: binding through a fake loader that finds the test
// host's functions by name.
#include "fake_game.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <utility>

#include "binding.h"
#include "handles.h"
#include "host.h"
#include "mine_tables.h"
#include "plugin.h"
#include "strategies.h"

namespace denmark_test {

namespace {

class FakePlatform final : public denmark::HostPlatform {
public:
    FakePlatform(const GameOptions& o, std::vector<Message>& messages) : options_(o), messages_(messages) {}
    void* FindModule(const char* fileName) override {
        static int module;
        return options_.moduleFound && std::strcmp(fileName, "ZORM.EXE") == 0 ? &module : nullptr;
    }
    void* FindExport(void* module, const char* name) override {
        if (!module || options_.missing.count(name)) return nullptr;
        for (const zorm::HostExport& e : zorm::kHostExports)
            if (std::strcmp(e.name, name) == 0) return e.entry;
        return nullptr;
    }
    void ShowMessage(const char* text, const char* caption) override { messages_.push_back({text, caption}); }

private:
    const GameOptions& options_;
    std::vector<Message>& messages_;
};

// What a fresh load of the library starts with.
void ResetPlugin() {
    denmark::HostFunctions = denmark::HostFunctionTable{};
    denmark::HostModule = nullptr;
    std::memset(&denmark::Units, 0, sizeof denmark::Units);
    std::memset(&denmark::Upgrades, 0, sizeof denmark::Upgrades);
    denmark::MineBuildingRulesNormal[0].count = 1;
    std::memset(denmark::OpeningTradeDone, 0, sizeof denmark::OpeningTradeDone);
}

}  // namespace

GameOptions Without(std::set<std::string> missing) {
    GameOptions o;
    o.missing = std::move(missing);
    return o;
}

FakeGame::FakeGame(const std::string& scenario, GameOptions options)
    : host_(zorm::ParseScenario(scenario), trace_) {
    ResetPlugin();
    zorm::SetActiveHost(&host_);
    FakePlatform platform(options, messages_);
    denmark::BindHost(platform);
}

FakeGame::~FakeGame() {
    zorm::SetActiveHost(nullptr);
    ResetPlugin();
}

Lines FakeGame::Take() {
    const std::string all = trace_.str();
    Lines lines;
    std::istringstream in(all.substr(taken_));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    taken_ = all.size();
    return lines;
}

Lines FakeGame::Run(void (*entry)()) {
    entry();
    return Take();
}

void FakeGame::InitAI() { denmark::InitAI(); }
void FakeGame::ProcessAI() { denmark::ProcessAI(); }
void FakeGame::Tick(int k) { host_.Tick(k); }

Lines CallsAfterSetUp(const std::string& scenario, void (*entry)(), GameOptions options) {
    FakeGame game(scenario, std::move(options));
    game.Run(denmark::InitAI);
    return game.Run(entry);
}

Lines ReadExpected(const std::string& name) {
    std::ifstream in(std::string(AI_SCENARIO_DIR) + "/../expected/" + name);
    Lines lines;
    for (std::string line; std::getline(in, line);)
        if (line.rfind("==", 0) != 0) lines.push_back(line);
    return lines;
}

Lines Filter(const Lines& lines, const std::string& prefix) {
    Lines out;
    for (const std::string& l : lines)
        if (l.rfind(prefix, 0) == 0) out.push_back(l);
    return out;
}

Lines FilterEach(const Lines& lines, std::initializer_list<std::string> prefixes) {
    Lines out;
    for (const std::string& prefix : prefixes) out = Concat({out, Filter(lines, prefix)});
    return out;
}

std::size_t CountOf(const Lines& lines, const std::string& line) {
    return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), line));
}

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Lines Repeat(int n, const std::string& line) { return Lines(n, line); }

}  // namespace denmark_test
