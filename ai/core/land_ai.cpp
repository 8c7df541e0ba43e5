// The land strategy (land types 2, 3 and 4): economy, buildings, ports and fleet, army,
// research, upgrade locks and trading, in the order of their priority in the game.
#include "request_sets.h"
#include "strategies.h"

namespace denmark {

namespace {

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

// What the tick reads before it places its main requests.
struct LandView {
    int32_t galleyGauge = 0;
    int32_t frigateGauge = 0;
    bool mainDone = false;
    int32_t buildingsInProgress = 0;
    bool peasantDrive = false;
    int32_t peasants = 0;
    int32_t stock3 = 0;
    bool kuz03Started = false;
    int32_t musketeers = 0;
    int32_t armySize = 0;
    bool towersReady = false;
    int32_t mineLevel = 0;
};

// Peasants are driven hard unless the stocks of 3, 1 and 4 are all high while "MAINDA" is
// not yet done.
bool PeasantDrive(bool mainDone) {
    return !(Money(res::kRecruit3) > 55000 && Money(res::kMined1) > 10000 && Money(res::kMined4) > 7000 &&
             !mainDone);
}

void ReadGaugesAndBuildings(LandView& v) {
    v.galleyGauge = UsageCount(kGalleyGaugeUsage);
    // Read one after the other, in this order, before they are summed.
    const int32_t frigateCount = UsageCount(kFrigateGaugeUsage);
    const int32_t quarterFrigateCount = UsageCount(kQuarterFrigateGaugeUsage);
    const int32_t fourfoldFrigateCount = UsageCount(kFourfoldFrigateGaugeUsage);
    v.frigateGauge = Add32(Add32(quarterFrigateCount / 4, frigateCount), Mul32(4, fourfoldFrigateCount));
    v.mainDone = Done(G.MAINDA);
    HostHandle* const kBuildings[] = {&U.Konushnia_Swesair, &U.Dip_korpus, &U.Europ, &U.PorE};
    for (HostHandle* b : kBuildings) v.buildingsInProgress = Add32(v.buildingsInProgress, Unfinished(*b));
}

void ReadArmyAndEconomy(LandView& v) {
    v.peasants = Count(U.Kreposnoi_pruss);
    v.stock3 = Money(res::kRecruit3);
    v.kuz03Started = Running(G.KUZ03DA);
    v.musketeers = Count(U.Mushketer_ev);
    v.armySize = ArmySize();
}

bool TowersReady() {
    const int32_t all = Count(U.Bashnia);
    return all == Ready(U.Bashnia);
}

// Peasant distribution, by "AKA30DA" and the stock of resource 3.
void FieldDistribution(int32_t stock3) {
    const bool aka30 = Done(G.AKA30DA);
    if (stock3 > 12000) {
        aka30 ? host::SetPDistribution(9, 8, 6) : host::SetPDistribution(9, 8, 8);
    } else if (stock3 > 6000) {
        aka30 ? host::SetPDistribution(9, 5, 3) : host::SetPDistribution(9, 5, 5);
    } else {
        aka30 ? host::SetPDistribution(9, 4, 1) : host::SetPDistribution(10, 4, 4);
    }
}

void FieldEconomy(const LandView& v) {
    FieldDistribution(v.stock3);
    if (v.peasants < 25 && v.stock3 > 300) Want(U.Kreposnoi_pruss, 100, 100, 100);
    if (v.stock3 > 200) {
        if (v.peasantDrive) Want(U.Kreposnoi_pruss, 1000, 232, 100);
        if (v.stock3 > 300) Want(U.Pikiner_evro, v.kuz03Started ? 300 : 350, 100, 30);
    }
    if (Done(G.AKA08DA) && v.stock3 > 1000 && Count(U.PorE) > 0) Research(kLandPikeSet);
}

void Fleet(const LandView& v) {
    Want(U.GALERA, v.galleyGauge < 5 ? 5 : Add32(v.galleyGauge, 2), 70, 50);
    if (v.frigateGauge < 5) {
        Want(U.Fregat, 12, 70, 50);
    } else {
        Want(U.Fregat, Add32(v.frigateGauge, 6), 30, 50);
        Want(U.Fregat, Add32(v.frigateGauge, 9), 15, 50);
        Want(U.Fregat, Add32(v.frigateGauge, 10), 10, 50);
    }
    if (UsageCount(kTowerPauseUsage) != 0) Research(kTowerPauseSet);
}

void Buildings(const LandView& v) {
    const bool nothingInProgress = v.buildingsInProgress == 0;
    Want(U.PERES_KOR, 3, 90, 10);
    Want(U.Europ, 1, 100, 100);
    Want(U.Europ, 2, 95, 5);
    if (nothingInProgress) Want(U.Europ, 3, 95, 5);
    Want(U.Kuznica, 1, 100, 100);
    Want(U.Kazarma_evro, 1, 100, 100);
    Want(U.Sclad1, 1, 50, 50);
    Want(U.Kuznica, 2, 10, 5);
    Want(U.Konushnia_Swesair, 1, 99, 90);
    Research(G.KUZ01DA, 80, 100);
    if (Count(U.akademia_E) > 0) {
        Want(U.Rinok, 1, 90, 25);
        Want(U.Cercov_Poland, 1, 5, 3);
    }
    Want(U.akademia_E, 1, 90, 90);
    if (nothingInProgress) Want(U.Dip_korpus, 1, 99, 10);
    Want(U.artileri_depo, 1, 90, 90);
    if (v.peasants > 25) Want(U.Melnica, 2, 30, 30);
    Want(U.Kazarma, 1, 90, 20);
    Want(U.Kazarma, 2, 50, 5);
}

const UpgradeRequest kLandResearch[] = {
    {&G.AKA01DA, 90, 99}, {&G.AKA02DA, 90, 99},  {&G.AKA03DA, 90, 99},
    {&G.AKA04DA, 90, 99}, {&G.AKA08DA, 95, 100}, {&G.KUZ03DA, 99, 100},
};

const UnitRequest kPorts[] = {
    {&U.PorE, 1, 80, 20},
    {&U.PorE, 2, 50, 5},
    {&U.PorE, 3, 30, 5},
    {&U.PorE, 5, 20, 5},
};

const UnitRequest kBattleships[] = {
    {&U.Linkor, 1, 50, 30},
    {&U.Linkor, 2, 30, 30},
    {&U.Linkor, 3, 20, 30},
    {&U.Linkor, 5, 10, 30},
};

// Resource 1 is also locked while the mines are at certain levels and the stocks allow.
void SecondUpgradeLockRule(int32_t mineLevel) {
    if (!(Running(G.AKA06DA) && Running(G.AKA07DA) && Done(G.KUZ03DA))) return;
    if ((mineLevel == 10 || mineLevel == 18) && Money(res::kRecruit3) > 50000 && Money(res::kMined1) < 8200)
        host::SetUpgradeLock(res::kMined1, 1);
    if (!Running(G.MAINDA) && Money(res::kRecruit3) > 60000 && Money(res::kMined1) < 11000)
        host::SetUpgradeLock(res::kMined1, 1);
    if (!Done(G.MAINDA)) return;
    bool lock = false;
    switch (mineLevel) {
    case 28:
        lock = Money(res::kRecruit3) > 50000 && Money(res::kMined4) > 7300 && Money(res::kMined1) < 20000;
        break;
    case 40:
        lock = Money(res::kRecruit3) > 50000 && Money(res::kMined4) > 9800 && Money(res::kMined1) < 24000;
        break;
    case 55: lock = Money(res::kRecruit3) > 80000 && Money(res::kMined1) < 26000; break;
    default: break;
    }
    if (lock) host::SetUpgradeLock(res::kMined1, 1);
}

void ArmyAndAcademy(const LandView& v) {
    if (v.kuz03Started && Done(G.AKA08DA)) {
        if (v.buildingsInProgress == 0) {
            Want(U.Konushnia_Swesair, 2, 90, 20);
            Want(U.Konushnia_Swesair, 3, 90, 20);
            Want(U.Konushnia_Swesair, 4, 90, 20);
        }
        MusketeerAcademyResearch();
    }
    Research(G.AKA30DA, 99, 100);
    Research(G.AKA10DA, 60, 90);
    if (Count(U.Kazarma_evro) > 1 && v.armySize > 300) {
        if (Mul32(5, v.musketeers) < Sub32(v.armySize, 50)) Want(U.Mushketer_ev, 500, 10, 10);
        Research(kLandMusketeerSet);
    }
}

// Rich in 4 and 5 are both bought with 2, the scarcer one first (4 on a tie).
void BuyFourAndFive() {
    const int32_t s4 = Money(res::kMined4);
    const int32_t s5 = Money(res::kMined5);
    if (s5 < s4) {
        Trade(res::kSold2, res::kMined5, 25000);
        Trade(res::kSold2, res::kMined4, 25000);
    } else {
        Trade(res::kSold2, res::kMined4, 25000);
        Trade(res::kSold2, res::kMined5, 25000);
    }
}

bool FiveShortWithZeroAtHand() { return Money(res::kMined5) < 5000 && Money(res::kSold0) != 0; }

void TradeForResearch() {
    if (!(Done(G.KUZ02DA) && Done(G.AKA09DA))) {
        if (Money(res::kSold2) > 110000) Trade(res::kSold2, res::kMined1, 90000);
        return;
    }
    if (Money(res::kSold2) > 110000) Trade(res::kSold2, res::kMined1, 100000);
    if (Money(res::kSold0) == 0) return;
    if (Money(res::kMined1) != 0 && Money(res::kMined4) < 5000) {
        BuyFourAndFive();
        return;
    }
    if (FiveShortWithZeroAtHand()) Trade(res::kSold2, res::kMined5, 50000);
    if (FiveShortWithZeroAtHand()) Trade(res::kSold2, res::kMined5, 50000);
}

// Trading at a finished market; every stock is read afresh at its test.
void LandTrading() {
    if (Ready(U.Rinok) == 0) return;
    if (Count(U.akademia_E) != 0 && !Running(G.AKA08DA) && Money(res::kMined1) > 800 &&
        Money(res::kRecruit3) < 6000 && Money(res::kMined4) > 3000)
        Trade(res::kMined4, res::kRecruit3, 3000);
    if (Money(res::kRecruit3) < 1000 && Money(res::kSold2) > 5000) Trade(res::kSold2, res::kRecruit3, 4000);
    TradeForResearch();
    if (Money(res::kSold0) > 150000) Trade(res::kSold0, res::kMined1, 100000);
    if (Money(res::kMined4) > 80000) Trade(res::kMined4, res::kMined1, 40000);
    if (Money(res::kMined5) > 80000) Trade(res::kMined5, res::kMined1, 40000);
}

// Steps that need peasants and a mill; false when the tick ends for want of a mill.
bool WithPeasants(LandView& v) {
    if (!FirstMillStands()) return false;
    Research(G.Melnica_GETRES, 100, 100);
    if (!HasField()) {
        FirstPeasantsAndPikes(v.stock3);
        host::SetPDistribution(0, 1, 1);
    } else {
        FieldEconomy(v);
    }
    Fleet(v);
    Buildings(v);
    Research(kLandResearch);
    Want(kPorts);
    Research(G.AKA06DA, 95, 100);
    v.mineLevel = host::GetMaxPeasantsInMines();
    AcademyAndMortarResearch();
    if (Done(G.Mortira_BUILD[kBuild5])) {
        Want(U.Mortira, 10, 10, 90);
        Want(U.Mortira, 15, 3, 10);
    }
    FirstUpgradeLockRule();
    SecondUpgradeLockRule(v.mineLevel);
    if (v.mineLevel == 95) {
        Research(G.AKA29DA, 70, 10);
        Want(kBattleships);
    }
    Towers(v.peasants, v.towersReady, 80, 95);
    if (v.kuz03Started && Done(G.AKA08DA)) Want(U.Grenader_DIP, 75, 1, 30);
    Boats();
    ArmyAndAcademy(v);
    return true;
}

}  // namespace

void LandAI() {
    host::SetDefSettings(300, 400);
    host::SetDefenseState(0);
    LandView v;
    ReadGaugesAndBuildings(v);
    Research(G.MAINDA, 95, 100);
    v.peasantDrive = PeasantDrive(v.mainDone);
    ReadArmyAndEconomy(v);
    Research(G.AKA23DA, 99, 80);
    Research(G.AKA24DA, 98, 80);
    v.towersReady = TowersReady();

    if (v.peasants != 0 && !WithPeasants(v)) return;

    if (v.kuz03Started) {
        Research(G.AKA34DA, 95, 90);
        Research(G.KUZ06DA, 95, 90);
        Research(G.KUZ05DA, 95, 90);
        Want(U.Kazarma_evro, 2, 95, 90);
    }
    if (Running(G.AKA30DA)) {
        Research(G.KUZ02DA, 95, 90);
        Research(G.AKA09DA, 95, 90);
    }
    LandTrading();
}

}  // namespace denmark
