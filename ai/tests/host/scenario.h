// Scenario files of the ZORM test host: the game state it answers with, tick by tick.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zorm {

enum class UpgradeState { None, Running, Done };

// What the host answers at one moment of the game.
struct GameState {
    int32_t landType = 0;
    int32_t startRes = 0;
    int32_t nation = 0;
    std::vector<int32_t> randomIndex{0};  // answered in turn; the last one repeats
    int32_t difficulty = 0;
    bool field = false;
    int32_t maxPeaceTime = 0;
    int32_t peaceTimeLeft = 0;
    int32_t maxPeasantsInMines = 0;
    std::map<int32_t, int32_t> money;       // by resource index
    std::map<int32_t, int32_t> extraction;  // by resource index
    std::map<std::string, int32_t> units;   // by registered name
    std::map<std::string, int32_t> ready;
    std::map<std::string, UpgradeState> upgrades;
    std::map<int32_t, int32_t> usage;      // GetUnitsByUsage(0, code)
    std::map<int32_t, int32_t> registers;  // AI registers; the plug-in writes them too
    int32_t defaultRate = 1000;            // market: amount bought per 1000 sold
    std::map<std::pair<int32_t, int32_t>, int32_t> rates;
    std::map<std::pair<std::string, int32_t>, int32_t> unitCosts;
    std::map<std::pair<std::string, int32_t>, int32_t> upgradeCosts;
    // Answers that override the state for the next calls of one function with given
    // arguments (the call as the trace shows it, spaces left out), used up in turn.
    std::map<std::string, std::deque<int32_t>> queued;
};

// The key of `queued` for a call as the trace writes it.
std::string QueueKey(const std::string& call);

struct Statement {
    int line = 0;
    std::vector<std::string> words;
};

struct Scenario {
    std::string name;
    int ticks = 1;
    bool initAI = true;
    std::string entry = "ProcessAI";                // export called on every tick
    std::vector<Statement> start;                   // state before InitAI
    std::map<int, std::vector<Statement>> changes;  // applied just before tick k
};

class ScenarioError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses a scenario text; throws ScenarioError naming the line of the first mistake.
Scenario ParseScenario(const std::string& text);

// What a tick section asks of the host besides the game state.
struct TickDirectives {
    std::string entry;     // export called on this and later ticks
    bool newGame = false;  // InitAI runs again before this tick
};

// Applies one statement; throws ScenarioError for an unknown one.
void Apply(const Statement& s, GameState& state, TickDirectives& directives);

}  // namespace zorm
