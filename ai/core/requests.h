// The vocabulary the decision routines are written in: short names for the host's counts,
// stocks and research states, and request lists kept as data.
#pragma once

#include <cstddef>
#include <cstdint>

#include "arith.h"
#include "handles.h"
#include "host.h"

namespace denmark {

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

// Requests.
inline void Want(HostHandle& type, int32_t count, int32_t a, int32_t b) { host::TryUnit(&type, count, a, b); }
inline void Research(HostHandle& upgrade, int32_t a, int32_t b) { host::TryUpgrade(&upgrade, a, b); }
inline void Trade(int32_t sold, int32_t bought, int32_t amount) { host::AI_Torg(sold, bought, amount); }

struct UnitRequest {
    HostHandle* type;
    int32_t count, a, b;
};

struct UpgradeRequest {
    HostHandle* upgrade;
    int32_t a, b;
};

template <std::size_t N>
void Want(const UnitRequest (&list)[N]) {
    for (const UnitRequest& r : list) host::TryUnit(r.type, r.count, r.a, r.b);
}

template <std::size_t N>
void Research(const UpgradeRequest (&list)[N]) {
    for (const UpgradeRequest& r : list) host::TryUpgrade(r.upgrade, r.a, r.b);
}

// A cost times num / den in wrapping 32-bit arithmetic, truncated toward zero.
inline int32_t Scaled(int32_t cost, int32_t num, int32_t den) { return Div32(Mul32(cost, num), den); }

}  // namespace denmark
