// Request sets and steps that more than one strategy issues the same way.
#pragma once

#include "requests.h"

namespace denmark {

extern const UpgradeRequest kLandPikeSet[10];
extern const UpgradeRequest kLandMusketeerSet[5];
extern const UpgradeRequest kMortarBuildSet[4];
extern const UpgradeRequest kSeaPikeSet[12];
extern const UpgradeRequest kSeaMusketeerSet[5];
extern const UpgradeRequest kArtilleryBuildSet[8];
extern const UpgradeRequest kTowerPauseSet[6];        // all (50, 50): land and sea
extern const UpgradeRequest kInlandTowerPauseSet[6];  // falling weights
extern const UpgradeRequest kInlandArtilleryBuildSet[9];

// The chosen cavalry, cuirassiers and pikemen counted together.
int32_t ArmySize();

// The first mill: asks for it and tells whether one stands. Without a mill the land and sea
// strategies end their tick.
bool FirstMillStands();

// Without a field: the first peasants and pikemen, when there is more than 700 of
// resource 3.
void FirstPeasantsAndPikes(int32_t stock3);

// Academy research after "AKA06DA": the second "AKA06DA" and "AKA05DA" while "AKA08DA" runs,
// then "AKA20DA", "AKA28DA" and the mortar builds while "AKA06DA" runs.
void AcademyAndMortarResearch();

// Resource 1 is locked for research only while rich in resource 0, poor in resource 1, with
// "AKA30DA" running and "AKA06DA" not yet.
void FirstUpgradeLockRule();

// Boats: three, and twenty once "AKA07DA" is done.
void Boats();

// Towers once there are more than `first` peasants and every tower is finished; three more
// above `more` peasants.
void Towers(int32_t peasants, bool towersReady, int32_t first, int32_t more);

// Musketeer academy research: "AKA31DA"/"AKA33DA" above 20 musketeers, "AKA07DA", and the
// "AKA12DA".."AKA15DA" group once the fourth musketeer attack runs.
void MusketeerAcademyResearch();

}  // namespace denmark
