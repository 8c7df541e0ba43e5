// The vocabulary the decision routines are written in: short names for the host's counts,
// stocks and research states, and request lists kept as data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith.h"
#include "handles.h"
#include "host.h"

namespace denmark {

// Resource stocks by the index that the game's functions take (GetMoney, GetExtraction,
// AI_Torg, SetUpgradeLock, the cost functions) and the traces show. What each index stands
// for is the game's business; the names say the part it plays in this plug-in.
namespace res {
constexpr int32_t kSold0 = 0;     // sold in bulk once it piles up
constexpr int32_t kMined1 = 1;    // mined by peasants; what surpluses are sold for; the upgrade lock
constexpr int32_t kSold2 = 2;     // sold in bulk; what most purchases are paid with
constexpr int32_t kRecruit3 = 3;  // peasants and pikemen are asked for only above a stock of it
constexpr int32_t kMined4 = 4;    // mined by peasants; bought when low
constexpr int32_t kMined5 = 5;    // mined by peasants; bought when low
}  // namespace res

// Unit counts by usage code, GetUnitsByUsage(0, code); what a code counts is the game's.
constexpr int32_t kGalleyGaugeUsage = 27;           // the land strategy's GalleyGauge
constexpr int32_t kFrigateGaugeUsage = 25;          // counts once toward the FrigateGauge
constexpr int32_t kQuarterFrigateGaugeUsage = 28;   // counts a quarter (remainder dropped)
constexpr int32_t kFourfoldFrigateGaugeUsage = 14;  // counts four times
constexpr int32_t kTowerPauseUsage = 31;            // any such unit asks for the tower pause upgrades
// (The sea strategy sizes its galleys by the first three codes: a quarter of 28, plus 27 and 25.)

// Reads. Every call goes to the host; nothing is cached.
inline int32_t Count(HostHandle& type) { return host::GetUnits(&type); }
inline int32_t Ready(HostHandle& type) { return host::GetReadyUnits(&type); }
inline int32_t Money(int32_t res) { return host::GetMoney(res); }
inline bool Done(HostHandle& upgrade) { return host::IsTrue(host::UpgIsDone(&upgrade)); }
inline bool Running(HostHandle& upgrade) { return host::IsTrue(host::UpgIsRun(&upgrade)); }
inline bool HasField() { return host::IsTrue(host::FieldExist()); }
inline int32_t UsageCount(int32_t usage) { return host::GetUnitsByUsage(0, usage); }

// Costs for this tick's nation; 0 when the host does not supply the cost functions.
int32_t UnitCost(HostHandle& type, int32_t res);
int32_t UpgradeCost(HostHandle& upgrade, int32_t res);

// Count of all units of a type minus the finished ones: all first, then finished.
inline int32_t Unfinished(HostHandle& type) {
    const int32_t all = Count(type);
    return Sub32(all, Ready(type));
}

// All units of a type are finished; the finished count is read first.
inline bool AllFinished(HostHandle& type) {
    const int32_t ready = Ready(type);
    return Count(type) == ready;
}

// Requests. Each passes two weights, A and B, through to the game (TryUnit after the wanted
// count, TryUpgrade after the upgrade; the last two numbers of a trace line); the game
// decides what they mean and this plug-in never looks at them again. kFullWeight is the
// value most requests give.
constexpr int32_t kFullWeight = 100;

inline void Want(HostHandle& type, int32_t count, int32_t weightA, int32_t weightB) {
    host::TryUnit(&type, count, weightA, weightB);
}
inline void Research(HostHandle& upgrade, int32_t weightA, int32_t weightB) {
    host::TryUpgrade(&upgrade, weightA, weightB);
}
inline void Trade(int32_t sold, int32_t bought, int32_t amount) { host::AI_Torg(sold, bought, amount); }

struct UnitRequest {
    HostHandle* type;
    int32_t count, weightA, weightB;
};

struct UpgradeRequest {
    HostHandle* upgrade;
    int32_t weightA, weightB;
};

template <std::size_t N>
void Want(const UnitRequest (&list)[N]) {
    for (const UnitRequest& r : list) host::TryUnit(r.type, r.count, r.weightA, r.weightB);
}

template <std::size_t N>
void Research(const UpgradeRequest (&list)[N]) {
    for (const UpgradeRequest& r : list) host::TryUpgrade(r.upgrade, r.weightA, r.weightB);
}

// A cost times num / den in wrapping 32-bit arithmetic, truncated toward zero.
inline int32_t Scaled(int32_t cost, int32_t num, int32_t den) { return Div32(Mul32(cost, num), den); }

}  // namespace denmark
