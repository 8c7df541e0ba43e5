// Mine balances, mine-upgrade rules and mine-building rules sent to the game every tick.
#pragma once

#include "zorm_host_abi.h"

namespace denmark {

constexpr int kMineBalanceSteps = 19;
constexpr int kMineBalanceRichSteps = 3;
constexpr int kMineUpgradeRuleCount = 27;
constexpr int kMineBuildingRulesNormalCount = 27;
constexpr int kMineBuildingRulesRichCount = 5;

extern const MineBalanceStep MineBalanceNormal[kMineBalanceSteps];
extern const MineBalanceStep MineBalanceLand[kMineBalanceSteps];
extern const MineBalanceStep MineBalanceSea[kMineBalanceSteps];
extern const MineBalanceStep MineBalanceRich[kMineBalanceRichSteps];

extern const int32_t MineUpgradeRulesZero[kMineUpgradeRuleCount];
extern const int32_t MineUpgradeRulesLight[kMineUpgradeRuleCount];
extern const int32_t MineUpgradeRulesFull[kMineUpgradeRuleCount];

// Not const: the count of record 0 is raised to 4 once a game with start resources 0 is seen,
// and stays so while the library is loaded.
extern MineBuildingRule MineBuildingRulesNormal[kMineBuildingRulesNormalCount];
extern const MineBuildingRule MineBuildingRulesRich[kMineBuildingRulesRichCount];

}  // namespace denmark
