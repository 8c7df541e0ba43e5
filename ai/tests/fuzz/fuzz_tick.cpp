// Fuzz target: InitAI and many ticks against a game whose every answer comes from the input.
// Any land type, start resources, nation, market rate and extreme value; some functions may
// be missing from the game. No answer may crash a tick or reach a null entry, and every
// handle the plug-in passes must be one of its own registered records.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "binding.h"
#include "handles.h"
#include "host.h"
#include "mine_tables.h"
#include "plugin.h"
#include "strategies.h"

namespace {

const uint8_t* data;
size_t size;
size_t pos;

uint8_t Byte() { return pos < size ? data[pos++] : 0; }

// A pinned game answers land type and start resources from the header, so that the rest of
// the input only shapes the game within one strategy.
bool pinned;
int32_t pinnedLandType;
int32_t pinnedStartRes;

// Mostly small values near the interesting ones, sometimes anything at all.
int32_t Value() {
    const uint8_t kind = Byte();
    switch (kind & 7) {
    case 0: return 0;
    case 1: return kind >> 3;  // 0..31: land types, levels, registers
    case 2: return -(int32_t)(kind >> 3);
    case 3: return INT32_MIN;
    case 4: return INT32_MAX;
    case 5: return (int32_t)(Byte() | Byte() << 8);
    default: {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | Byte();
        return (int32_t)v;
    }
    }
}

// True when `h` is exactly one of the 8-byte records inside `block`.
template <typename Block>
bool IsRecordOf(const HostHandle* h, const Block& block) {
    static_assert(sizeof(Block) % sizeof(HostHandle) == 0, "a block of handles only");
    const uintptr_t p = reinterpret_cast<uintptr_t>(h);
    const uintptr_t first = reinterpret_cast<uintptr_t>(&block);
    return p >= first && p < first + sizeof(Block) && (p - first) % sizeof(HostHandle) == 0;
}

// Every handle the plug-in passes must be one of its unit-type or upgrade records.
void CheckHandle(HostHandle* h) {
    if (IsRecordOf(h, denmark::Units) || IsRecordOf(h, denmark::Upgrades)) return;
    std::fprintf(stderr, "handle %p is not one of the plug-in's records\n", static_cast<void*>(h));
    std::abort();
}

void CheckName(const char* s) { (void)std::strlen(s); }

// A registration checks its handle and name and writes one byte of the record from the input.
void Register(HostHandle* h, const char* n, int byte) {
    CheckHandle(h);
    CheckName(n);
    h->data[byte] = Byte();
}

// A question about a unit type or upgrade checks its handle, then answers from the input.
int32_t ValueFor(HostHandle* h) {
    CheckHandle(h);
    return Value();
}
HostBool TruthFor(HostHandle* h) {
    CheckHandle(h);
    return Byte();
}

// The game: each function reads its answer from the input and touches what it is given.
void RegisterUnitType(HostHandle* h, const char* n) { Register(h, n, 0); }
void RegisterUpgrade(HostHandle* h, const char* n) { Register(h, n, 1); }
void SafeRegisterUpgrade(HostHandle* h, const char* n) { Register(h, n, 0); }
int32_t GetUnitCost(uint8_t, HostHandle* h, int32_t) { return ValueFor(h); }
int32_t GetUpgradeCost(uint8_t, HostHandle* h, int32_t) { return ValueFor(h); }
void SetDefSettings(int32_t, int32_t) {}
int32_t GetMaxPeasantsInMines() { return Value(); }
void SetUpgradeLock(int32_t, int32_t) {}
void AI_Torg(int32_t, int32_t, int32_t) {}
int32_t GetUnitsByUsage(int32_t, int32_t) { return Value(); }
int32_t GetAINation() { return Value(); }
void TryUnit(HostHandle* h, int32_t, int32_t, int32_t) { CheckHandle(h); }
void TryUpgrade(HostHandle* h, int32_t, int32_t) { CheckHandle(h); }
// Reads every byte of the `n` records the game is given.
template <typename Record>
void ReadRecords(const Record* records, int32_t n) {
    volatile uint8_t sum = 0;
    for (int32_t i = 0; i < n; ++i)
        for (size_t b = 0; b < sizeof(Record); ++b)
            sum = sum + reinterpret_cast<const uint8_t*>(&records[i])[b];
}
void SetMineBalanse(int32_t n, const MineBalanceStep* s) { ReadRecords(s, n); }
void SetPDistribution(int32_t, int32_t, int32_t) {}
void AssignAmountOfMineUpgrades(int32_t) {}
void AssignMineUpgrade(int32_t, const char* n, int32_t) { CheckName(n); }
void AssignMine(const char* n) { CheckName(n); }
void AssignPeasant(const char* n) { CheckName(n); }
void AssignHouse(const char* n) { CheckName(n); }
void AssignWall(const char* n) { CheckName(n); }
void SET_MINE_CAPTURE_RADIUS(int32_t) {}
void SET_MINE_UPGRADE1_RADIUS(int32_t) {}
void SET_MINE_UPGRADE2_RADIUS(int32_t) {}
void SET_DEFAULT_MAX_WORKERS(int32_t) {}
void SET_MIN_PEASANT_BRIGADE(int32_t) {}
int32_t GetMoney(int32_t) { return Value(); }
int32_t GetUnits(HostHandle* h) { return ValueFor(h); }
int32_t GetReadyUnits(HostHandle* h) { return ValueFor(h); }
HostBool UpgIsDone(HostHandle* h) { return TruthFor(h); }
HostBool UpgIsRun(HostHandle* h) { return TruthFor(h); }
HostBool FieldExist() { return Byte(); }
int32_t GetDifficulty() { return Value(); }
int32_t GetStartRes() { return pinned ? pinnedStartRes : Value(); }
int32_t GetLandType() { return pinned ? pinnedLandType : Value(); }
void AssignFormUnit(const char* n) { CheckName(n); }
int32_t GetRandomIndex() { return Value(); }
void SetMinesUpgradeRules(const int32_t* r) { ReadRecords(r, 27); }
void SetMinesBuildingRules(const MineBuildingRule* r, int32_t n) { ReadRecords(r, n); }
int32_t GetExtraction(int32_t) { return Value(); }
int32_t GetAIRegister(int32_t) { return Value(); }
void SetAIRegister(int32_t, int32_t) {}
int32_t GetTorgResult(int32_t, int32_t, int32_t) { return Value(); }
void SetDefenseState(uint8_t) {}
int32_t GetMaxPeaceTime() { return Value(); }
int32_t GetPeaceTimeLeft() { return Value(); }
void Unused() { __builtin_trap(); }  // the plug-in never calls these

class FuzzPlatform final : public denmark::HostPlatform {
public:
    explicit FuzzPlatform(const uint8_t* missing) : missing_(missing) {}
    void* FindModule(const char*) override { return this; }
    void* FindExport(void*, const char* name) override {
        const size_t i = index_++;
        if (missing_[i / 8] & (1u << (i % 8))) return nullptr;
#define FUZZ_EXPORT(fn, result, params, args) \
    if (std::strcmp(name, #fn) == 0) return reinterpret_cast<void*>(&fn);
#define FUZZ_UNUSED(fn) \
    if (std::strcmp(name, #fn) == 0) return reinterpret_cast<void*>(&Unused);
        ZORM_HOST_FUNCTIONS(FUZZ_EXPORT, FUZZ_UNUSED)
#undef FUZZ_EXPORT
#undef FUZZ_UNUSED
        return nullptr;
    }
    void ShowMessage(const char* text, const char* caption) override {
        CheckName(text);
        CheckName(caption);
    }

private:
    const uint8_t* missing_;
    size_t index_ = 0;
};

// Which of the plug-in's entry points a tick calls.
enum class Entry { FromInput, ProcessAI, MiddleSea, LandThenProcessAI };

void Tick(Entry entry) {
    switch (entry) {
    case Entry::FromInput:
        switch (Byte() & 15) {
        case 0: denmark::ProcessMiddleSeaAI(); break;
        case 1: denmark::ProcessLandAI(); break;
        case 2: denmark::InitAI(); break;
        default: denmark::ProcessAI(); break;
        }
        break;
    case Entry::ProcessAI: denmark::ProcessAI(); break;
    case Entry::MiddleSea: denmark::ProcessMiddleSeaAI(); break;
    case Entry::LandThenProcessAI:
        denmark::ProcessLandAI();
        denmark::ProcessAI();
        break;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* d, size_t n) {
    data = d;
    size = n;
    pos = 0;
    // First byte: how the game is put together. With bit 0 set, 15 bytes choose missing
    // functions (one bit each, in binding order). With bit 7 set, one byte pins the game:
    // land type (bits 0-2), start resources (bits 3-4) and the entry every tick calls
    // (bits 5-6: chosen per tick by the input, ProcessAI, ProcessMiddleSeaAI, or
    // ProcessLandAI followed by ProcessAI).
    uint8_t missing[15] = {};
    const uint8_t layout = Byte();
    if (layout & 1)
        for (uint8_t& m : missing) m = Byte();
    pinned = (layout & 0x80) != 0;
    Entry entry = Entry::FromInput;
    if (pinned) {
        const uint8_t game = Byte();
        pinnedLandType = game & 7;
        pinnedStartRes = (game >> 3) & 3;
        entry = static_cast<Entry>((game >> 5) & 3);
    }

    // Each input starts from a freshly loaded library.
    denmark::HostFunctions = denmark::HostFunctionTable{};
    denmark::MineBuildingRulesNormal[0].count = 1;
    for (int32_t& done : denmark::OpeningTradeDone) done = 0;
    FuzzPlatform platform(missing);
    denmark::BindHost(platform);

    denmark::InitAI();
    const int ticks = 1 + (Byte() & 63);
    for (int t = 0; t < ticks; ++t) {
        Tick(entry);
        if (pos >= size) break;
    }
    return 0;
}
