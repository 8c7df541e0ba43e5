// The inland strategy (land types 0 and 5): no port and no ship; small modules run in a
// fixed order, a normal variant and a rich one for start resources 3.
#include "request_sets.h"
#include "strategies.h"
#include "tick.h"

namespace denmark {

namespace {

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

// The DIP-quota latch lives in the host's AI register AINation + 8.
int32_t DipQuotaRegister() { return Add32(AINation, 8); }
int32_t DipQuota() { return host::GetAIRegister(DipQuotaRegister()); }
void SetDipQuota(int32_t on) { host::SetAIRegister(DipQuotaRegister(), on); }

// Clears the latch below `low` units of `type` and sets it above `high`; in between it keeps.
void UpdateDipQuota(HostHandle& type, int32_t low, int32_t high) {
    if (Count(type) < low) SetDipQuota(0);
    if (Count(type) > high) SetDipQuota(1);
}

// The same request `times` times in a row, on purpose: the game decides what repeats mean,
// and the traces hold every one of them (16 or 100 identical lines).
void WantRepeatedly(HostHandle& type, int32_t count, int32_t times) {
    for (int32_t i = 0; i < times; ++i) Want(type, count, 20, kFullWeight);
}

// The second dragoons of the DIP quota are not asked for once they cost 120 or more of
// resource 1 (a host without GetUnitCost answers 0 and lets the test pass), nor while
// resource 1 is at 1500 or less.
bool DipDragoonsAffordable() {
    return UnitCost(U.Dragun_18_DIP, res::kMined1) < 120 && Money(res::kMined1) > 1500;
}

void NormalArmyRound() {
    Want(U.Kreposnoi_pruss, 1000, 20, 100);
    if (Count(U.Pikiner_evro) < 140) {
        Want(U.Pikiner_evro, 1000, 20, 100);
    } else {
        Want(U.Pikiner_evro, 1000, 20, 40);
        Want(U.Mushketer_ev, 1000, 20, 100);
    }
    if (DipQuota() == 0 && host::GetMaxPeaceTime() == 0) {
        Want(U.Strelec_Algir_DIP, 160, 20, 100);
        if (DipDragoonsAffordable()) WantRepeatedly(U.Dragun_18_DIP, 16, 16);
    }
    Want(U.ChosenCavalry, 1000, 20, Done(G.MAINDA) ? 30 : 100);
    Want(U.Dragun_18, 1000, 20, 100);
    Want(U.Grenader, 1000, 20, 100);
}

void RichArmyRound() {
    Want(U.Kreposnoi_pruss, 1000, 20, 100);
    Want(U.Pikiner_evro, 1000, 20, 100);
    if (DipQuota() == 0) {
        WantRepeatedly(U.Dragun_18_DIP, 110, 100);
    } else {
        Want(U.Grenader_DIP, 60, 20, 100);
    }
    if (!Done(G.MAINDA)) Want(U.Dragun, 1000, 20, 100);
    Want(U.Dragun_18, 1000, 20, 100);
    Want(U.Grenader, 1000, 20, 100);
}

// A building request with the usual weights.
void Build(HostHandle& type, int32_t count) { Want(type, count, kFullWeight, kFullWeight); }

void BasicBuildings() {
    Build(U.Melnica, 1);
    Build(U.Europ, 1);
    Build(U.Sclad1, 1);
    Build(U.Rinok, 1);
}

}  // namespace

bool PikesComplete(const HostHandle* unitType) {
    return unitType == &Units.Pikiner_evro && Done(G.Pikiner_evro[kAttack4]) &&
           Done(G.Pikiner_evro[kShield4]);
}

void NormalDefence() {
    host::SetDefenseState(1);
    if (DipQuota() != 0 && PikesComplete(&U.Pikiner_evro)) {
        host::SetDefenseState(0);
    } else {
        host::SetDefenseState(1);
    }
    if (host::GetMaxPeaceTime() > 0) host::SetDefenseState(0);
}

void NormalArmy() {
    UpdateDipQuota(U.Strelec_Algir_DIP, 40, 156);
    NormalArmyRound();
    NormalArmyRound();
}

void ArtilleryModule() {
    if (Done(G.Pushka_BUILD[kBuild5])) Want(U.Pushka, 30, 30, 60);
    if (Done(G.Mortira_BUILD[kBuild5])) Want(U.Mortira, 20, 30, 60);
    Want(U.Mortira_b, 60, 80, 100);
    Research(kInlandArtilleryBuildSet);
}

void TowerModule() {
    const int32_t towersReady = Ready(U.Bashnia);
    const int32_t barracksUnfinished = Unfinished(U.Kazarma_evro);
    const int32_t academyUnfinished = Unfinished(U.akademia_E);
    const int32_t towersUnfinished = Sub32(Count(U.Bashnia), towersReady);
    const int32_t unfinished = Add32(Add32(towersUnfinished, barracksUnfinished), academyUnfinished);
    if (unfinished == 0 && FreePeasants > 40) {
        Want(U.Bashnia, 4, 50, 100);
        if (Running(G.KUZ03DA)) Want(U.Bashnia, 6, 50, 100);
        if (Running(G.MAINDA)) Want(U.Bashnia, 8, 50, 100);
    }
    Research(kInlandTowerPauseSet);
}

void NormalBuildOrder() {
    Build(U.Kazarma, 3);
    if (Ready(U.Dip_korpus) != 0) {
        Build(U.Melnica, 2);
        Build(U.Sclad1, 4);
    }
    Build(U.Melnica, 1);
    Build(U.Europ, 1);
    BasicBuildings();
    if (Ready(U.Rinok) == 0) return;
    Build(U.Kuznica, 1);
    Build(U.Europ, 2);
    if (Ready(U.Europ) < 2 && host::GetStartRes() != 0) return;
    Build(U.Kazarma_evro, 2);
    const int32_t barracksReady = Ready(U.Kazarma_evro);
    if (Count(U.Kazarma_evro) > barracksReady) return;
    Build(U.akademia_E, 1);
    if (host::GetPeaceTimeLeft() < 3) {
        Build(U.Dip_korpus, 1);
        if (Ready(U.Dip_korpus) == 0) return;
    }
    Build(U.Europ, 4);
    if (Ready(U.Europ) < 3) return;
    Build(U.Konushnia_Swesair, 3);
    if (Count(U.Kazarma) != 0) Build(U.Konushnia_Swesair, 4);
    Build(U.artileri_depo, 1);
    Want(U.artileri_depo, 3, 40, 100);
    if (Done(G.AKA10DA)) Build(U.Konushnia_Swesair, 5);
    Build(U.Cercov_Poland, 1);
}

void RichDefence() {
    host::SetDefenseState(1);
    UpdateDipQuota(U.Dragun_18_DIP, 4, 95);
    host::SetDefenseState(DipQuota() == 0 ? 1 : 0);
    host::SetDefenseState(0);
}

void RichBuildOrder() {
    if (AllFinished(U.Kazarma)) Build(U.Kazarma, 5);
    Build(U.Europ, 1);
    Build(U.Kuznica, 1);
    Build(U.Kazarma_evro, 2);
    if (Unfinished(U.Kazarma_evro) != 0) return;
    Build(U.akademia_E, 1);
    if (Ready(U.akademia_E) == 0) return;
    Build(U.Sclad1, 1);
    Build(U.Melnica, 1);
    Build(U.Rinok, 1);
    if (Ready(U.Rinok) == 0) return;
    Build(U.Dip_korpus, 1);
    Build(U.Cercov_Poland, 1);
    Build(U.artileri_depo, 1);
    Build(U.Konushnia_Swesair, 1);
    if (!Running(G.MAINDA)) return;
    if (AllFinished(U.Europ)) Build(U.Europ, host::GetExtraction(res::kMined1) < 100 ? 6 : 4);
    if (AllFinished(U.Konushnia_Swesair)) Build(U.Konushnia_Swesair, 7);
    if (AllFinished(U.artileri_depo)) Build(U.artileri_depo, 3);
}

void RichArmy() {
    RichArmyRound();
    RichArmyRound();
}

void InlandAI(bool rich) {
    if (rich) {
        RichDefence();
        RichBuildOrder();
        RichArmy();
        ArtilleryModule();
        MarketModule();
        PeasantDistributionModule();
        UnitUpgradeModule();
        ResearchModule();
        return;
    }
    NormalDefence();
    NormalArmy();
    ArtilleryModule();
    if (host::GetPeaceTimeLeft() < 5) TowerModule();
    NormalBuildOrder();
    ResearchModule();
    if (host::GetPeaceTimeLeft() < 3) UnitUpgradeModule();
    MarketModule();
    PeasantDistributionModule();
    ChooseMineUpgradeRules();
}

}  // namespace denmark
