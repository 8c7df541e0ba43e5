// Request sets and steps shared by the land and sea strategies and the inland modules.
#include "request_sets.h"

namespace denmark {

namespace {
constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;
}  // namespace

const UpgradeRequest kLandPikeSet[10] = {
    {&G.Pikiner_evro[kAttack], 60, 100},  {&G.Pikiner_evro[kAttack3], 60, 100},
    {&G.Pikiner_evro[kAttack4], 60, 100}, {&G.Pikiner_evro[kAttack5], 20, 100},
    {&G.Pikiner_evro[kAttack6], 10, 100}, {&G.Pikiner_evro[kShield], 60, 100},
    {&G.Pikiner_evro[kShield3], 60, 100}, {&G.Pikiner_evro[kShield4], 60, 100},
    {&G.Pikiner_evro[kShield5], 20, 100}, {&G.Pikiner_evro[kShield6], 10, 100},
};

const UpgradeRequest kLandMusketeerSet[5] = {
    {&G.Mushketer_ev[kAttack], 90, 100},  {&G.Mushketer_ev[kAttack3], 90, 100},
    {&G.Mushketer_ev[kAttack4], 90, 100}, {&G.Mushketer_ev[kShield], 90, 100},
    {&G.Mushketer_ev[kShield3], 90, 100},
};

const UpgradeRequest kMortarBuildSet[4] = {
    {&G.Mortira_BUILD[kBuild], 30, 50},
    {&G.Mortira_BUILD[kBuild3], 30, 50},
    {&G.Mortira_BUILD[kBuild4], 30, 50},
    {&G.Mortira_BUILD[kBuild5], 30, 50},
};

const UpgradeRequest kSeaPikeSet[12] = {
    {&G.Pikiner_evro[kAttack], 40, 100},  {&G.Pikiner_evro[kAttack3], 90, 100},
    {&G.Pikiner_evro[kAttack4], 90, 100}, {&G.Pikiner_evro[kAttack5], 90, 100},
    {&G.Pikiner_evro[kAttack6], 90, 100}, {&G.Pikiner_evro[kShield], 90, 100},
    {&G.Pikiner_evro[kShield3], 90, 100}, {&G.Pikiner_evro[kShield4], 90, 100},
    {&G.Pikiner_evro[kShield5], 90, 100}, {&G.Pikiner_evro[kShield6], 90, 100},
    {&G.Officer_evro_ATTACK, 50, 100},    {&G.Officer_evro_SHIELD, 50, 100},
};

const UpgradeRequest kSeaMusketeerSet[5] = {
    {&G.Mushketer_ev[kAttack], 90, 100},  {&G.Mushketer_ev[kAttack3], 90, 100},
    {&G.Mushketer_ev[kAttack4], 90, 100}, {&G.Mushketer_ev[kShield], 10, 100},
    {&G.Mushketer_ev[kShield3], 10, 100},
};

const UpgradeRequest kArtilleryBuildSet[8] = {
    {&G.Pushka_BUILD[kBuild], 30, 50},   {&G.Pushka_BUILD[kBuild3], 30, 50},
    {&G.Pushka_BUILD[kBuild4], 30, 50},  {&G.Pushka_BUILD[kBuild5], 30, 50},
    {&G.Mortira_BUILD[kBuild], 30, 50},  {&G.Mortira_BUILD[kBuild3], 30, 50},
    {&G.Mortira_BUILD[kBuild4], 30, 50}, {&G.Mortira_BUILD[kBuild5], 30, 50},
};

const UpgradeRequest kTowerPauseSet[6] = {
    {&G.Bashnia_PAUSE[kPause], 50, 50},  {&G.Bashnia_PAUSE[kPause3], 50, 50},
    {&G.Bashnia_PAUSE[kPause4], 50, 50}, {&G.Bashnia_PAUSE[kPause5], 50, 50},
    {&G.Bashnia_PAUSE[kPause6], 50, 50}, {&G.Bashnia_PAUSE[kPause7], 50, 50},
};

const UpgradeRequest kInlandTowerPauseSet[6] = {
    {&G.Bashnia_PAUSE[kPause], 50, 100},  {&G.Bashnia_PAUSE[kPause3], 40, 100},
    {&G.Bashnia_PAUSE[kPause4], 30, 100}, {&G.Bashnia_PAUSE[kPause5], 20, 100},
    {&G.Bashnia_PAUSE[kPause6], 15, 100}, {&G.Bashnia_PAUSE[kPause7], 10, 100},
};

const UpgradeRequest kInlandArtilleryBuildSet[9] = {
    {&G.Pushka_BUILD[kBuild], 30, 100},   {&G.Pushka_BUILD[kBuild3], 30, 100},
    {&G.Pushka_BUILD[kBuild4], 30, 100},  {&G.Pushka_BUILD[kBuild5], 30, 100},
    {&G.Pushka_BUILD[kBuild6], 30, 100},  {&G.Mortira_BUILD[kBuild], 30, 100},
    {&G.Mortira_BUILD[kBuild3], 30, 100}, {&G.Mortira_BUILD[kBuild4], 30, 100},
    {&G.Mortira_BUILD[kBuild5], 30, 100},
};

int32_t ArmySize() {
    int32_t size = Count(U.ChosenCavalry);
    size = Add32(size, Count(U.Kirasir));
    return Add32(size, Count(U.Pikiner_evro));
}

bool FirstMillStands() {
    Want(U.Melnica, 1, 100, 100);
    return Count(U.Melnica) != 0;
}

void FirstPeasantsAndPikes(int32_t stock3) {
    if (stock3 <= 700) return;
    Want(U.Kreposnoi_pruss, 100, 100, 100);
    Want(U.Pikiner_evro, 100, 100, 100);
}

void AcademyAndMortarResearch() {
    if (Running(G.AKA08DA)) {
        Research(G.AKA06DA, 90, 90);
        Research(G.AKA05DA, 99, 100);
    }
    if (Running(G.AKA06DA)) {
        Research(G.AKA20DA, 90, 90);
        Research(G.AKA28DA, 70, 10);
        Research(kMortarBuildSet);
    }
}

void FirstUpgradeLockRule() {
    host::SetUpgradeLock(res::kMined1, 0);
    if (Money(res::kSold0) > 14000 && Running(G.AKA30DA) && Money(res::kMined1) < 7500 && !Running(G.AKA06DA))
        host::SetUpgradeLock(res::kMined1, 1);
}

void Boats() {
    Want(U.Lodka, 3, 90, 90);
    if (Done(G.AKA07DA)) Want(U.Lodka, 20, 10, 90);
}

void Towers(int32_t peasants, bool towersReady, int32_t first, int32_t more) {
    if (peasants <= first || !towersReady) return;
    Want(U.Bashnia, 1, 80, 10);
    if (peasants <= more) return;
    Want(U.Bashnia, 2, 80, 10);
    Want(U.Bashnia, 3, 50, 10);
    Want(U.Bashnia, 4, 30, 10);
}

void MusketeerAcademyResearch() {
    if (Count(U.Mushketer_ev) > 20) {
        Research(G.AKA31DA, 90, 100);
        Research(G.AKA33DA, 80, 70);
    }
    Research(G.AKA07DA, 60, 90);
    if (Running(G.Mushketer_ev[kAttack4])) {
        Research(G.AKA12DA, 90, 90);
        Research(G.AKA13DA, 90, 90);
        Research(G.AKA14DA, 70, 90);
        Research(G.AKA15DA, 70, 90);
    }
}

}  // namespace denmark
