// The decision routines that the tick dispatches to, one per group of land types, and the
// modules of the inland strategy.
#pragma once

#include <cstdint>

#include "zorm_host_abi.h"

namespace denmark {

void LandAI();             // land types 2, 3 and 4
void InlandAI(bool rich);  // land types 0 and 5; rich when start resources are 3
// The sea strategy (land type 1) is the export ProcessMiddleSeaAI (plugin.h).

// Per nation index: whether the sea strategy has made its opening trade since the library
// was loaded. Set once, never cleared.
constexpr int32_t kOpeningTradeNations = 16;
extern int32_t OpeningTradeDone[kOpeningTradeNations];

// Inland modules, in the order the two variants run them (see InlandAI).
void NormalDefence();
void NormalArmy();
void ArtilleryModule();
void TowerModule();
void NormalBuildOrder();
void RichDefence();
void RichBuildOrder();
void RichArmy();
void ResearchModule();
void UnitUpgradeModule();
void MarketModule();
void PeasantDistributionModule();

// True only for the pikeman's handle, and only with its fourth attack and shield done.
bool PikesComplete(const HostHandle* unitType);

}  // namespace denmark
