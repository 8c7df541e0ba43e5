// Tick benchmark: InitAI once, then AI ticks of every land type against a game whose functions
// do nothing but return a fixed answer. Prints, per land type, the host calls of a tick, the
// time of a tick and the time per host call, beside a peer: the same number of bare calls
// through the bound table, timed in alternating rounds with the ticks, so that the ratio shows
// what the plug-in's own work adds to the calls it has to make.
//
// The answers are chosen so that every strategy takes its long paths: units and finished
// units are equal and plenty (the mill stands, nothing is under construction, the army is
// large), stocks are high, every upgrade is done and running, a field exists, no peace time.
#include <time.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "binding.h"
#include "handles.h"
#include "host.h"
#include "plugin.h"

namespace {

// The answers that differ between benchmark rows.
struct Answers {
    int32_t landType;
    int32_t startRes;
};

Answers answers;

constexpr int32_t kUnits = 200;       // every unit type, all of them finished
constexpr int32_t kMoney = 200000;    // every stock
constexpr int32_t kUsage = 10;        // ships of each usage
constexpr int32_t kExtraction = 10;   // peasants per resource
constexpr int32_t kMineLevel = 95;    // peasants in mines: the land strategy's battleship level
constexpr int32_t kTradeRate = 1000;  // market: 1000 for 1000
constexpr int32_t kUnitCost = 100;
constexpr int32_t kUpgradeCost = 1000;

// The quiet game: no work beyond returning its answer.
namespace quiet {
void RegisterUnitType(HostHandle*, const char*) {}
void RegisterUpgrade(HostHandle*, const char*) {}
int32_t GetUnitCost(uint8_t, HostHandle*, int32_t) { return kUnitCost; }
int32_t GetUpgradeCost(uint8_t, HostHandle*, int32_t) { return kUpgradeCost; }
void SetDefSettings(int32_t, int32_t) {}
int32_t GetMaxPeasantsInMines() { return kMineLevel; }
void SetUpgradeLock(int32_t, int32_t) {}
void AI_Torg(int32_t, int32_t, int32_t) {}
int32_t GetUnitsByUsage(int32_t, int32_t) { return kUsage; }
int32_t GetAINation() { return 0; }
void TryUnit(HostHandle*, int32_t, int32_t, int32_t) {}
void TryUpgrade(HostHandle*, int32_t, int32_t) {}
void SetMineBalanse(int32_t, const MineBalanceStep*) {}
void SetPDistribution(int32_t, int32_t, int32_t) {}
void AssignAmountOfMineUpgrades(int32_t) {}
void AssignMineUpgrade(int32_t, const char*, int32_t) {}
void AssignMine(const char*) {}
void AssignPeasant(const char*) {}
void AssignHouse(const char*) {}
void AssignWall(const char*) {}
void SET_MINE_CAPTURE_RADIUS(int32_t) {}
void SET_MINE_UPGRADE1_RADIUS(int32_t) {}
void SET_MINE_UPGRADE2_RADIUS(int32_t) {}
void SET_DEFAULT_MAX_WORKERS(int32_t) {}
void SET_MIN_PEASANT_BRIGADE(int32_t) {}
int32_t GetMoney(int32_t) { return kMoney; }
int32_t GetUnits(HostHandle*) { return kUnits; }
int32_t GetReadyUnits(HostHandle*) { return kUnits; }
HostBool UpgIsDone(HostHandle*) { return 1; }
HostBool UpgIsRun(HostHandle*) { return 1; }
HostBool FieldExist() { return 1; }
int32_t GetDifficulty() { return 2; }
int32_t GetStartRes() { return answers.startRes; }
int32_t GetLandType() { return answers.landType; }
void AssignFormUnit(const char*) {}
int32_t GetRandomIndex() { return 0; }
void SafeRegisterUpgrade(HostHandle*, const char*) {}
void SetMinesUpgradeRules(const int32_t*) {}
void SetMinesBuildingRules(const MineBuildingRule*, int32_t) {}
int32_t GetExtraction(int32_t) { return kExtraction; }
int32_t GetAIRegister(int32_t) { return 0; }
void SetAIRegister(int32_t, int32_t) {}
int32_t GetTorgResult(int32_t, int32_t, int32_t) { return kTradeRate; }
void SetDefenseState(uint8_t) {}
int32_t GetMaxPeaceTime() { return 0; }
int32_t GetPeaceTimeLeft() { return 0; }
}  // namespace quiet

// The counting game: the same answers, and one more call counted. Used in a separate pass so
// that the timed ticks carry no counter.
uint64_t hostCalls;

namespace counting {
#define BENCH_COUNTING(name, result, params, args) \
    result name params {                           \
        ++hostCalls;                               \
        return quiet::name args;                   \
    }
#define BENCH_NOT_CALLED(name)
ZORM_HOST_FUNCTIONS(BENCH_COUNTING, BENCH_NOT_CALLED)
#undef BENCH_COUNTING
#undef BENCH_NOT_CALLED
}  // namespace counting

[[noreturn]] void NotCalled() {
    std::fputs("the plug-in called a function it never calls\n", stderr);
    std::abort();
}

class BenchPlatform final : public denmark::HostPlatform {
public:
    explicit BenchPlatform(bool count) : count_(count) {}
    void* FindModule(const char*) override { return this; }
    void* FindExport(void*, const char* name) override {
#define BENCH_EXPORT(fn, result, params, args) \
    if (std::strcmp(name, #fn) == 0)           \
        return count_ ? reinterpret_cast<void*>(&counting::fn) : reinterpret_cast<void*>(&quiet::fn);
#define BENCH_UNUSED(fn) \
    if (std::strcmp(name, #fn) == 0) return reinterpret_cast<void*>(&NotCalled);
        ZORM_HOST_FUNCTIONS(BENCH_EXPORT, BENCH_UNUSED)
#undef BENCH_EXPORT
#undef BENCH_UNUSED
        return nullptr;
    }
    void ShowMessage(const char* text, const char* caption) override {
        std::fprintf(stderr, "%s: %s\n", caption, text);
        std::abort();
    }

private:
    bool count_;
};

// CPU time of this thread: other processes on a busy machine do not count against a round.
double ThreadNanoseconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e9 + static_cast<double>(t.tv_nsec);
}

constexpr int kRounds = 15;
constexpr double kRoundNanoseconds = 20e6;  // each timed round lasts about 20 ms

template <typename Body>
double NanosecondsPerRep(Body& body, int64_t reps) {
    const double start = ThreadNanoseconds();
    for (int64_t i = 0; i < reps; ++i) body();
    return (ThreadNanoseconds() - start) / static_cast<double>(reps);
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Timing {
    double subject;  // ns per repetition of the measured body
    double peer;     // ns per repetition of the peer body
};

// Medians over the rounds, the two bodies timed in turn with the same repetition count.
template <typename Subject, typename Peer>
Timing TimeAgainstPeer(Subject subject, Peer peer) {
    for (int i = 0; i < 1000; ++i) {  // warm-up, and the first tick's one-off work
        subject();
        peer();
    }
    int64_t reps = 1000;
    while (NanosecondsPerRep(subject, reps) * static_cast<double>(reps) < kRoundNanoseconds / 4) reps *= 4;
    std::vector<double> subjects, peers;
    for (int r = 0; r < kRounds; ++r) {
        subjects.push_back(NanosecondsPerRep(subject, reps));
        peers.push_back(NanosecondsPerRep(peer, reps));
    }
    return {Median(subjects), Median(peers)};
}

struct Row {
    const char* entry;
    const char* strategy;
    int32_t landType;
    int32_t startRes;
    void (*tick)();
};

const Row kRows[] = {
    {"ProcessAI", "inland", 0, 2, denmark::ProcessAI},
    {"ProcessAI", "inland rich", 0, 3, denmark::ProcessAI},
    {"ProcessAI", "sea", 1, 2, denmark::ProcessAI},
    {"ProcessAI", "land", 2, 2, denmark::ProcessAI},
    {"ProcessAI", "land", 3, 2, denmark::ProcessAI},
    {"ProcessAI", "land", 4, 2, denmark::ProcessAI},
    {"ProcessAI", "inland", 5, 2, denmark::ProcessAI},
    {"ProcessAI", "inland rich", 5, 3, denmark::ProcessAI},
    {"ProcessAI", "none", 6, 2, denmark::ProcessAI},
    {"ProcessMiddleSeaAI", "sea", 1, 2, denmark::ProcessMiddleSeaAI},
};

constexpr int kCountedTicks = 1000;
constexpr double kGoalNanosecondsPerCall = 5.0;

// Calls per tick in the steady state: after InitAI and one tick (which may make one-off
// requests such as an opening trade).
double CountCallsPerTick(const Row& row) {
    BenchPlatform platform(true);
    denmark::BindHost(platform);
    denmark::InitAI();
    row.tick();
    hostCalls = 0;
    for (int i = 0; i < kCountedTicks; ++i) row.tick();
    return static_cast<double>(hostCalls) / kCountedTicks;
}

// A tick, and its peer: as many bare calls through the bound table as the tick makes.
Timing TimeTick(const Row& row, int calls) {
    BenchPlatform platform(false);
    denmark::BindHost(platform);
    denmark::InitAI();
    return TimeAgainstPeer(row.tick, [calls] {
        for (int i = 0; i < calls; ++i) denmark::HostFunctions.GetUnits(&denmark::Units.Melnica);
    });
}

}  // namespace

int main() {
    std::printf("Denmark AI tick benchmark: a game whose functions only return a fixed answer.\n");
    std::printf("Host calls per tick: counted in a separate pass through counting wrappers;\n");
    std::printf("the timed pass runs without them. Times: thread CPU time, median of %d rounds\n", kRounds);
    std::printf("of about %.0f ms. Peer: the same number of bare calls through the bound table,\n",
                kRoundNanoseconds / 1e6);
    std::printf("timed in rounds alternating with the ticks.\n\n");
    std::printf("%-19s %4s %5s %-12s %10s %9s %8s %10s %6s %6s\n", "entry", "land", "start", "strategy",
                "calls/tick", "ns/tick", "ns/call", "bare ns/c", "ratio", "goal");
    bool allMet = true;
    for (const Row& row : kRows) {
        answers.landType = row.landType;
        answers.startRes = row.startRes;
        const double calls = CountCallsPerTick(row);
        const Timing t = TimeTick(row, static_cast<int>(calls + 0.5));
        const double perCall = t.subject / calls;
        const double barePerCall = t.peer / calls;
        const bool met = perCall <= kGoalNanosecondsPerCall;
        allMet = allMet && met;
        std::printf("%-19s %4d %5d %-12s %10.1f %9.1f %8.2f %10.2f %5.2fx %6s\n", row.entry, row.landType,
                    row.startRes, row.strategy, calls, t.subject, perCall, barePerCall, t.subject / t.peer,
                    met ? "met" : "MISSED");
    }
    std::printf("\nGoal: at most %.1f ns per host call: %s.\n", kGoalNanosecondsPerCall,
                allMet ? "met on every row" : "missed on some rows");
    return 0;
}
