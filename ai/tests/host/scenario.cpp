// Reading of scenario files: one statement per line, "#" starts a comment, "tick K" starts
// the changes that hold from tick K on.
#include "scenario.h"

#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace zorm {

std::string QueueKey(const std::string& call) {
    std::string key;
    for (char c : call)
        if (c != ' ') key += c;
    return key;
}

namespace {

[[noreturn]] void Fail(const Statement& s, const std::string& what) {
    throw ScenarioError("line " + std::to_string(s.line) + ": " + what);
}

int32_t Number(const Statement& s, std::size_t i) {
    if (i >= s.words.size()) Fail(s, "'" + s.words[0] + "' needs more values");
    const std::string& w = s.words[i];
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(w.c_str(), &end, 0);
    if (w.empty() || *end != '\0' || errno == ERANGE || v < INT32_MIN || v > INT32_MAX)
        Fail(s, "'" + w + "' is not a 32-bit number");
    return static_cast<int32_t>(v);
}

bool Truth(const Statement& s, std::size_t i) {
    if (i >= s.words.size()) Fail(s, "'" + s.words[0] + "' needs yes or no");
    if (s.words[i] == "yes" || s.words[i] == "true" || s.words[i] == "1") return true;
    if (s.words[i] == "no" || s.words[i] == "false" || s.words[i] == "0") return false;
    Fail(s, "'" + s.words[i] + "' is neither yes nor no");
}

void Arity(const Statement& s, std::size_t n) {
    if (s.words.size() != n) Fail(s, "'" + s.words[0] + "' takes " + std::to_string(n - 1) + " value(s)");
}

}  // namespace

void Apply(const Statement& s, GameState& g, TickDirectives& d) {
    const std::string& k = s.words[0];
    auto one = [&](int32_t& field) {
        Arity(s, 2);
        field = Number(s, 1);
    };
    if (k == "land-type")
        one(g.landType);
    else if (k == "start-res")
        one(g.startRes);
    else if (k == "nation")
        one(g.nation);
    else if (k == "difficulty")
        one(g.difficulty);
    else if (k == "max-peace-time")
        one(g.maxPeaceTime);
    else if (k == "peace-time-left")
        one(g.peaceTimeLeft);
    else if (k == "max-peasants-in-mines")
        one(g.maxPeasantsInMines);
    else if (k == "field") {
        Arity(s, 2);
        g.field = Truth(s, 1);
    } else if (k == "random") {
        if (s.words.size() < 2) Fail(s, "'random' needs at least one value");
        g.randomIndex.clear();
        for (std::size_t i = 1; i < s.words.size(); ++i) g.randomIndex.push_back(Number(s, i));
    } else if (k == "money") {
        Arity(s, 3);
        g.money[Number(s, 1)] = Number(s, 2);
    } else if (k == "extraction") {
        Arity(s, 3);
        g.extraction[Number(s, 1)] = Number(s, 2);
    } else if (k == "usage") {
        Arity(s, 3);
        g.usage[Number(s, 1)] = Number(s, 2);
    } else if (k == "then") {
        if (s.words.size() < 3) Fail(s, "'then' needs a call and at least one answer");
        auto& q = g.queued[QueueKey(s.words[1])];
        for (std::size_t i = 2; i < s.words.size(); ++i) {
            const std::string& w = s.words[i];
            q.push_back(w == "true" ? 1 : w == "false" ? 0 : Number(s, i));
        }
    } else if (k == "register") {
        Arity(s, 3);
        g.registers[Number(s, 1)] = Number(s, 2);
    } else if (k == "units") {
        // units NAME COUNT [READY]: READY defaults to COUNT (all finished)
        if (s.words.size() != 3 && s.words.size() != 4)
            Fail(s, "'units' takes a name, a count and an optional ready count");
        g.units[s.words[1]] = Number(s, 2);
        g.ready[s.words[1]] = s.words.size() == 4 ? Number(s, 3) : Number(s, 2);
    } else if (k == "ready") {
        Arity(s, 3);
        g.ready[s.words[1]] = Number(s, 2);
    } else if (k == "upgrade") {
        Arity(s, 3);
        const std::string& v = s.words[2];
        if (v == "none")
            g.upgrades[s.words[1]] = UpgradeState::None;
        else if (v == "running")
            g.upgrades[s.words[1]] = UpgradeState::Running;
        else if (v == "done")
            g.upgrades[s.words[1]] = UpgradeState::Done;
        else
            Fail(s, "an upgrade is none, running or done, not '" + v + "'");
    } else if (k == "rate") {
        if (s.words.size() == 2)
            g.defaultRate = Number(s, 1);
        else if (s.words.size() == 4)
            g.rates[{Number(s, 1), Number(s, 2)}] = Number(s, 3);
        else
            Fail(s, "'rate' takes RATE or SOLD BOUGHT RATE");
    } else if (k == "unit-cost") {
        Arity(s, 4);
        g.unitCosts[{s.words[1], Number(s, 2)}] = Number(s, 3);
    } else if (k == "upgrade-cost") {
        Arity(s, 4);
        g.upgradeCosts[{s.words[1], Number(s, 2)}] = Number(s, 3);
    } else if (k == "entry") {
        Arity(s, 2);
        const std::string& e = s.words[1];
        if (e != "ProcessAI" && e != "ProcessMiddleSeaAI" && e != "ProcessLandAI")
            Fail(s, "unknown entry '" + e + "'");
        d.entry = e;
    } else if (k == "new-game") {
        Arity(s, 1);
        d.newGame = true;
    } else {
        Fail(s, "unknown statement '" + k + "'");
    }
}

Scenario ParseScenario(const std::string& text) {
    Scenario sc;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    int section = 0;  // 0: the start; K: changes before tick K
    GameState check;  // statements are tried on a scratch state so mistakes show at once
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t hash = line.find('#');
        if (hash != std::string::npos) line.erase(hash);
        Statement s;
        s.line = number;
        std::istringstream words(line);
        for (std::string w; words >> w;) s.words.push_back(w);
        if (s.words.empty()) continue;
        const std::string& k = s.words[0];
        if (k == "name") {
            sc.name = line.substr(line.find("name") + 4);
            sc.name.erase(0, sc.name.find_first_not_of(" \t"));
            sc.name.erase(sc.name.find_last_not_of(" \t") + 1);
        } else if (k == "ticks" && section == 0) {
            Arity(s, 2);
            sc.ticks = Number(s, 1);
            if (sc.ticks < 0 || sc.ticks > 100000) Fail(s, "ticks must be 0..100000");
        } else if (k == "init-ai" && section == 0) {
            Arity(s, 2);
            sc.initAI = Truth(s, 1);
        } else if (k == "tick") {
            Arity(s, 2);
            const int32_t t = Number(s, 1);
            if (t < 1 || t <= section) Fail(s, "tick sections must rise from 1");
            section = t;
            sc.changes[section];
        } else {
            TickDirectives d{sc.entry};
            Apply(s, check, d);
            if (section == 0) {
                if (d.newGame) Fail(s, "'new-game' belongs in a tick section");
                sc.entry = d.entry;
                sc.start.push_back(s);
            } else {
                sc.changes[section].push_back(s);
            }
        }
    }
    return sc;
}

}  // namespace zorm
