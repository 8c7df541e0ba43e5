// Answers and trace lines of the ZORM test host.
#include "host_sim.h"

#include <algorithm>
#include <functional>
#include <sstream>

namespace zorm {

namespace {

std::string Quoted(const char* s) { return s ? "\"" + std::string(s) + "\"" : "(null)"; }

// Tables passed by address are shown by their contents, at most this many records.
constexpr int32_t kMaxShown = 64;

template <typename Map, typename Key>
int32_t Lookup(const Map& map, const Key& key, int32_t fallback = 0) {
    auto it = map.find(key);
    return it == map.end() ? fallback : it->second;
}

}  // namespace

HostSim::HostSim(Scenario scenario, std::ostream& trace) : scenario_(std::move(scenario)), trace_(trace) {
    TickDirectives d{scenario_.entry};
    for (const Statement& s : scenario_.start) Apply(s, state_, d);
}

std::ostream& HostSim::Line() {
    ++calls_;
    return trace_;
}

void HostSim::Note(const std::string& text) { trace_ << "== " << text << "\n"; }

TickDirectives HostSim::Tick(int k) {
    TickDirectives d{scenario_.entry};
    auto it = scenario_.changes.find(k);
    if (it != scenario_.changes.end())
        for (const Statement& s : it->second) Apply(s, state_, d);
    scenario_.entry = d.entry;
    return d;
}

std::string HostSim::NameOf(const HostHandle* h) const {
    auto it = names_.find(h);
    return it == names_.end() ? "<unregistered>" : it->second;
}

void HostSim::Register(const char* function, HostHandle* h, const char* name) {
    Line() << function << "(" << Quoted(name) << ")\n";
    if (!h) return;
    // The game writes its own reference into the handle; the plug-in never reads it.
    std::string n = name ? name : "";
    names_[h] = n;
    h->data[0] = static_cast<uint32_t>(std::hash<std::string>()(n));
    h->data[1] = 0;
}

bool HostSim::Queued(const std::string& call, int32_t& value) {
    auto it = state_.queued.find(QueueKey(call));
    if (it == state_.queued.end() || it->second.empty()) return false;
    value = it->second.front();
    it->second.pop_front();
    return true;
}

int32_t HostSim::Answer(const std::string& call, int32_t value) {
    Queued(call, value);
    Line() << call << " -> " << value << "\n";
    return value;
}

HostBool HostSim::Answer(const std::string& call, bool value) {
    int32_t queued = 0;
    if (Queued(call, queued)) value = queued != 0;
    Line() << call << " -> " << (value ? "true" : "false") << "\n";
    return value ? 1 : 0;
}

void HostSim::Unused(const char* name) { Line() << name << "(?) -- not part of the AI interface\n"; }

void HostSim::RegisterUnitType(HostHandle* h, const char* name) { Register("RegisterUnitType", h, name); }
void HostSim::RegisterUpgrade(HostHandle* h, const char* name) { Register("RegisterUpgrade", h, name); }
void HostSim::SafeRegisterUpgrade(HostHandle* h, const char* name) {
    Register("SafeRegisterUpgrade", h, name);
}

int32_t HostSim::GetUnitCost(uint8_t nation, HostHandle* h, int32_t res) {
    std::ostringstream c;
    c << "GetUnitCost(" << int(nation) << ", " << NameOf(h) << ", " << res << ")";
    return Answer(c.str(), Lookup(state_.unitCosts, std::make_pair(NameOf(h), res)));
}

int32_t HostSim::GetUpgradeCost(uint8_t nation, HostHandle* h, int32_t res) {
    std::ostringstream c;
    c << "GetUpgradeCost(" << int(nation) << ", " << NameOf(h) << ", " << res << ")";
    return Answer(c.str(), Lookup(state_.upgradeCosts, std::make_pair(NameOf(h), res)));
}

void HostSim::SetDefSettings(int32_t a, int32_t b) { Line() << "SetDefSettings(" << a << ", " << b << ")\n"; }
int32_t HostSim::GetMaxPeasantsInMines() {
    return Answer("GetMaxPeasantsInMines()", state_.maxPeasantsInMines);
}
void HostSim::SetUpgradeLock(int32_t a, int32_t b) { Line() << "SetUpgradeLock(" << a << ", " << b << ")\n"; }

void HostSim::AI_Torg(int32_t sold, int32_t bought, int32_t amount) {
    Line() << "AI_Torg(" << sold << ", " << bought << ", " << amount << ")\n";
}

int32_t HostSim::GetUnitsByUsage(int32_t zero, int32_t usage) {
    std::ostringstream c;
    c << "GetUnitsByUsage(" << zero << ", " << usage << ")";
    return Answer(c.str(), Lookup(state_.usage, usage));
}

int32_t HostSim::GetAINation() { return Answer("GetAINation()", state_.nation); }

void HostSim::TryUnit(HostHandle* h, int32_t n, int32_t a, int32_t b) {
    Line() << "TryUnit(" << NameOf(h) << ", " << n << ", " << a << ", " << b << ")\n";
}

void HostSim::TryUpgrade(HostHandle* h, int32_t a, int32_t b) {
    Line() << "TryUpgrade(" << NameOf(h) << ", " << a << ", " << b << ")\n";
}

void HostSim::SetMineBalanse(int32_t n, const MineBalanceStep* steps) {
    std::ostream& out = Line() << "SetMineBalanse(" << n << ", [";
    for (int32_t i = 0; steps && i < std::min(n, kMaxShown); ++i)
        out << (i ? " " : "") << steps[i].first << ":" << steps[i].second;
    if (n > kMaxShown) out << " ...";
    out << "])\n";
}

void HostSim::SetPDistribution(int32_t a, int32_t b, int32_t c) {
    Line() << "SetPDistribution(" << a << ", " << b << ", " << c << ")\n";
}

void HostSim::AssignAmountOfMineUpgrades(int32_t n) { Line() << "AssignAmountOfMineUpgrades(" << n << ")\n"; }

void HostSim::AssignMineUpgrade(int32_t slot, const char* name, int32_t value) {
    Line() << "AssignMineUpgrade(" << slot << ", " << Quoted(name) << ", " << value << ")\n";
}

void HostSim::AssignMine(const char* name) { Line() << "AssignMine(" << Quoted(name) << ")\n"; }
void HostSim::AssignPeasant(const char* name) { Line() << "AssignPeasant(" << Quoted(name) << ")\n"; }
void HostSim::AssignHouse(const char* name) { Line() << "AssignHouse(" << Quoted(name) << ")\n"; }
void HostSim::AssignWall(const char* name) { Line() << "AssignWall(" << Quoted(name) << ")\n"; }
void HostSim::AssignFormUnit(const char* name) { Line() << "AssignFormUnit(" << Quoted(name) << ")\n"; }
void HostSim::SET_MINE_CAPTURE_RADIUS(int32_t r) { Line() << "SET_MINE_CAPTURE_RADIUS(" << r << ")\n"; }
void HostSim::SET_MINE_UPGRADE1_RADIUS(int32_t r) { Line() << "SET_MINE_UPGRADE1_RADIUS(" << r << ")\n"; }
void HostSim::SET_MINE_UPGRADE2_RADIUS(int32_t r) { Line() << "SET_MINE_UPGRADE2_RADIUS(" << r << ")\n"; }
void HostSim::SET_DEFAULT_MAX_WORKERS(int32_t n) { Line() << "SET_DEFAULT_MAX_WORKERS(" << n << ")\n"; }
void HostSim::SET_MIN_PEASANT_BRIGADE(int32_t n) { Line() << "SET_MIN_PEASANT_BRIGADE(" << n << ")\n"; }

int32_t HostSim::GetMoney(int32_t res) {
    return Answer("GetMoney(" + std::to_string(res) + ")", Lookup(state_.money, res));
}

int32_t HostSim::GetUnits(HostHandle* h) {
    return Answer("GetUnits(" + NameOf(h) + ")", Lookup(state_.units, NameOf(h)));
}

int32_t HostSim::GetReadyUnits(HostHandle* h) {
    return Answer("GetReadyUnits(" + NameOf(h) + ")", Lookup(state_.ready, NameOf(h)));
}

HostBool HostSim::UpgIsDone(HostHandle* h) {
    auto it = state_.upgrades.find(NameOf(h));
    return Answer("UpgIsDone(" + NameOf(h) + ")",
                  it != state_.upgrades.end() && it->second == UpgradeState::Done);
}

HostBool HostSim::UpgIsRun(HostHandle* h) {
    // An upgrade that is done was run: the game answers true for both.
    auto it = state_.upgrades.find(NameOf(h));
    return Answer("UpgIsRun(" + NameOf(h) + ")",
                  it != state_.upgrades.end() && it->second != UpgradeState::None);
}

HostBool HostSim::FieldExist() { return Answer("FieldExist()", state_.field); }
int32_t HostSim::GetDifficulty() { return Answer("GetDifficulty()", state_.difficulty); }
int32_t HostSim::GetStartRes() { return Answer("GetStartRes()", state_.startRes); }
int32_t HostSim::GetLandType() { return Answer("GetLandType()", state_.landType); }

int32_t HostSim::GetRandomIndex() {
    const auto& draws = state_.randomIndex;
    const int32_t v = draws[std::min(randomDraws_, draws.size() - 1)];
    ++randomDraws_;
    return Answer("GetRandomIndex()", v);
}

void HostSim::SetMinesUpgradeRules(const int32_t* rules) {
    std::ostream& out = Line() << "SetMinesUpgradeRules([";
    for (int i = 0; rules && i < 27; ++i) out << (i ? " " : "") << rules[i];
    out << "])\n";
}

void HostSim::SetMinesBuildingRules(const MineBuildingRule* rules, int32_t n) {
    std::ostream& out = Line() << "SetMinesBuildingRules([";
    for (int32_t i = 0; rules && i < std::min(n, kMaxShown); ++i) {
        const MineBuildingRule& r = rules[i];
        out << (i ? " " : "") << int(r.first) << "," << int(r.second) << "," << int(r.third);
        if (r.zero) out << ",pad=" << int(r.zero);
        out << ":" << r.count;
    }
    if (n > kMaxShown) out << " ...";
    out << "], " << n << ")\n";
}

int32_t HostSim::GetExtraction(int32_t res) {
    return Answer("GetExtraction(" + std::to_string(res) + ")", Lookup(state_.extraction, res));
}

int32_t HostSim::GetAIRegister(int32_t reg) {
    return Answer("GetAIRegister(" + std::to_string(reg) + ")", Lookup(state_.registers, reg));
}

void HostSim::SetAIRegister(int32_t reg, int32_t value) {
    Line() << "SetAIRegister(" << reg << ", " << value << ")\n";
    state_.registers[reg] = value;
}

int32_t HostSim::GetTorgResult(int32_t sold, int32_t bought, int32_t amount) {
    const int64_t rate = Lookup(state_.rates, std::make_pair(sold, bought), state_.defaultRate);
    int64_t result = int64_t(amount) * rate / 1000;
    result = std::max<int64_t>(INT32_MIN, std::min<int64_t>(INT32_MAX, result));
    std::ostringstream c;
    c << "GetTorgResult(" << sold << ", " << bought << ", " << amount << ")";
    return Answer(c.str(), static_cast<int32_t>(result));
}

void HostSim::SetDefenseState(uint8_t state) { Line() << "SetDefenseState(" << int(state) << ")\n"; }
int32_t HostSim::GetMaxPeaceTime() { return Answer("GetMaxPeaceTime()", state_.maxPeaceTime); }
int32_t HostSim::GetPeaceTimeLeft() { return Answer("GetPeaceTimeLeft()", state_.peaceTimeLeft); }

namespace {
HostSim* active = nullptr;
}

void SetActiveHost(HostSim* host) { active = host; }
HostSim& ActiveHost() { return *active; }

}  // namespace zorm
