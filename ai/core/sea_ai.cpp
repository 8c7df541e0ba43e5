// The sea strategy (land type 1, also the export ProcessMiddleSeaAI): its own mine balance,
// larger peasant and pike targets, a small galley fleet, artillery, and a market that keeps
// resource 3 from running short.
#include "plugin.h"
#include "mine_tables.h"
#include "request_sets.h"
#include "strategies.h"

namespace denmark {

int32_t OpeningTradeDone[kOpeningTradeNations];

namespace {

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

struct SeaView {
    int32_t peasants = 0;
    int32_t stock3 = 0;
    bool kuz03Started = false;
    int32_t armySize = 0;
    bool towersReady = false;
    int32_t peasantTarget() const { return kuz03Started ? 380 : 450; }
};

void SeaPikeUpgrades() {
    if (Money(res::kRecruit3) > 1650) Research(kSeaPikeSet);
}

void FieldEconomy(const SeaView& v) {
    // With a large stock the game gets (9, 6, 6) and then (9, 5, 5) in the same tick: on
    // purpose, the second replaces the first.
    if (v.stock3 > 12000) host::SetPDistribution(9, 6, 6);
    host::SetPDistribution(9, 5, 5);
    if (v.stock3 > 300) {
        if (v.peasants < 25) Want(U.Kreposnoi_pruss, 100, 100, 100);
        Want(U.Kreposnoi_pruss, v.peasantTarget(), 232, 100);
        if (v.stock3 > 400) Want(U.Pikiner_evro, v.peasantTarget(), 244, 100);
    }
    if (v.armySize > 30) SeaPikeUpgrades();
}

void Economy(const SeaView& v) {
    if (!HasField()) {
        FirstPeasantsAndPikes(v.stock3);
        if (v.stock3 > 1000 && v.armySize > 30) SeaPikeUpgrades();
        host::SetPDistribution(0, 1, 1);
    } else {
        FieldEconomy(v);
    }
}

const UnitRequest kFirstHouses[] = {
    {&U.Europ, 1, 100, 100},
    {&U.Europ, 2, 90, 5},
    {&U.Europ, 3, 90, 5},
};

const UnitRequest kSmithiesAndBarracks[] = {
    {&U.Kuznica, 1, 100, 100}, {&U.Kazarma_evro, 1, 100, 100}, {&U.Kazarma_evro, 2, 100, 100},
    {&U.Sclad1, 1, 50, 50},    {&U.Kuznica, 2, 10, 5},
};

const UpgradeRequest kSeaResearch[] = {
    {&G.AKA01DA, 90, 99}, {&G.AKA08DA, 95, 100}, {&G.KUZ03DA, 100, 100},
    {&G.AKA04DA, 90, 90}, {&G.AKA02DA, 95, 100}, {&G.AKA03DA, 95, 100},
};

void Buildings(const SeaView& v) {
    Want(kFirstHouses);
    if (Count(U.Kazarma_evro) > 1) {
        Want(U.Europ, 2, 80, 5);
        if (Count(U.Europ) > 1) Want(U.Konushnia_Swesair, 1, 99, 90);
        if (Ready(U.Europ) > 1) Want(U.Rinok, 1, 100, 100);
        Research(G.AKA23DA, 99, 100);
    }
    if (Count(U.Kreposnoi_pruss) > 35) Want(U.Rinok, 1, 100, 100);
    Want(kSmithiesAndBarracks);
    Research(G.KUZ01DA, 80, 100);
    if (Count(U.akademia_E) > 0) Want(U.Cercov_Poland, 1, 5, 3);
    if (HasField()) Want(U.akademia_E, 1, 90, 90);
    Want(U.Dip_korpus, 1, 99, 10);
    Want(U.artileri_depo, 1, 90, 90);
    if (v.peasants > 25) Want(U.Melnica, 2, 30, 30);
    Want(U.Kazarma, 1, 90, 20);
    Want(U.Kazarma, 2, 80, 5);
}

// Research locks are released while there is no finished stable, "KUZ03DA" runs or the
// stocks of 1, 4 and 5 are high; otherwise surpluses of 5 and 4 are sold for 1.
void LockReleaseOrSale() {
    if (Ready(U.Konushnia_Swesair) == 0 || Running(G.KUZ03DA) ||
        (Money(res::kMined1) > 3700 && Money(res::kMined4) > 5500 && Money(res::kMined5) > 8400)) {
        // Resource 1 released twice, first and last, on purpose: the game sees four calls.
        host::SetUpgradeLock(res::kMined1, 0);
        host::SetUpgradeLock(res::kMined4, 0);
        host::SetUpgradeLock(res::kRecruit3, 0);
        host::SetUpgradeLock(res::kMined1, 0);
    } else if (Money(res::kSold0) != 0 && Money(res::kMined5) > 8400) {
        if (Money(res::kMined5) > 14000) Trade(res::kMined5, res::kMined1, 5000);
        if (Money(res::kMined4) > 13000) Trade(res::kMined4, res::kMined1, 5000);
    }
}

const UnitRequest kPorts[] = {{&U.PorE, 1, 50, 90}, {&U.PorE, 2, 20, 50}, {&U.PorE, 3, 10, 50}};

// Frigates once "AKA06DA" is done; before that up to six galleys, by the ships at hand.
void Fleet() {
    if (Done(G.AKA06DA)) {
        Want(U.Fregat, 10, 50, 50);
        return;
    }
    int32_t n = UsageCount(kQuarterFrigateGaugeUsage) / 4;
    n = Add32(n, UsageCount(kGalleyGaugeUsage));
    n = Add32(n, UsageCount(kFrigateGaugeUsage));
    if (n > 6) {
        Want(U.GALERA, 6, 50, 50);
    } else if (n >= 1) {
        Want(U.GALERA, n, 50, 50);
    }
}

const UpgradeRequest kArtilleryResearch[] = {
    {&G.AKA34DA, 95, 90},
    {&G.KUZ06DA, 95, 90},
    {&G.KUZ05DA, 95, 90},
};

void Army(const SeaView& v) {
    if (v.kuz03Started) {
        Want(U.Mortira_b, 50, 10, 100);
        Want(U.Grenader_DIP, 75, 1, 30);
        Want(U.Strelec_Algir_DIP, 30, 1, 30);
        Research(kArtilleryResearch);
        if (Done(G.Pushka_BUILD[kBuild5])) Want(U.Pushka, 5, 30, 10);
        if (Done(G.Mortira_BUILD[kBuild5])) Want(U.Mortira, 10, 30, 10);
        Research(kArtilleryBuildSet);
    } else {
        Want(U.Grenader_DIP, 50, 1, 30);
        Want(U.Strelec_Algir_DIP, 20, 1, 30);
    }
}

const UnitRequest kStables[] = {
    {&U.Konushnia_Swesair, 2, 95, 20}, {&U.Konushnia_Swesair, 3, 95, 20}, {&U.Konushnia_Swesair, 4, 95, 20},
    {&U.Konushnia_Swesair, 5, 40, 20}, {&U.Konushnia_Swesair, 6, 40, 20},
};

const UpgradeRequest kLateResearch[] = {
    {&G.AKA30DA, 99, 100},
    {&G.AKA10DA, 60, 90},
    {&G.AKA24DA, 100, 100},
};

// Stocks read once for the first two trading rules.
struct Stocks {
    int32_t s0, s2, s4, s5, s1;
};

// The first trade of the list whose stock allows it, and only that one.
void BuyThree(const Stocks& s) {
    struct Offer {
        int32_t stock, above, sold, amount;
    };
    const Offer offers[] = {
        {s.s2, 5000, res::kSold2, 3000}, {s.s2, 1000, res::kSold2, 900},  {s.s0, 5000, res::kSold0, 3000},
        {s.s0, 1000, res::kSold0, 900},  {s.s5, 2000, res::kMined5, 800}, {s.s4, 2000, res::kMined4, 800},
        {s.s1, 1000, res::kMined1, 500},
    };
    for (const Offer& o : offers) {
        if (o.stock > o.above) {
            Trade(o.sold, res::kRecruit3, o.amount);
            return;
        }
    }
}

// Selling at a smithy before "KUZ03DA": for 1 while 1 is short, for 4 while 1 is plentiful.
void SmithyTrading() {
    if (!(Count(U.Kuznica) != 0 && !Running(G.KUZ03DA))) return;
    if (Money(res::kMined5) > 9000 && Money(res::kSold0) != 0 && Money(res::kMined1) < 4000) {
        if (Money(res::kMined5) > 12000) Trade(res::kMined5, res::kMined1, 3000);
        if (Money(res::kMined4) > 8000) Trade(res::kMined4, res::kMined1, 2000);
        if (Money(res::kSold2) > 20000) Trade(res::kSold2, res::kMined1, 12000);
        if (Money(res::kRecruit3) > 30000) Trade(res::kRecruit3, res::kMined1, 15000);
    }
    if (Money(res::kMined5) > 9000 && Money(res::kMined1) != 0 && Money(res::kMined1) > 4000) {
        if (Money(res::kMined5) > 12000) Trade(res::kMined5, res::kMined4, 3000);
        if (Money(res::kSold2) > 20000) Trade(res::kSold2, res::kMined4, 12000);
        if (Money(res::kRecruit3) > 30000) Trade(res::kRecruit3, res::kMined4, 15000);
    }
}

bool NationInTable(int32_t nation) { return nation >= 0 && nation < kOpeningTradeNations; }

// Once per nation while the library stays loaded. A nation index outside the table cannot
// be recorded, so it gets no opening trade (it would otherwise repeat every tick).
void OpeningTrade() {
    const int32_t nation = host::GetAINation();
    if (!NationInTable(nation) || OpeningTradeDone[nation] != 0) return;
    Trade(res::kMined5, res::kRecruit3, 4000);
    const int32_t again = host::GetAINation();
    if (NationInTable(again)) OpeningTradeDone[again] = 1;
}

void SeaTrading(const SeaView& v) {
    if (Ready(U.Rinok) == 0) return;
    Stocks s;
    s.s0 = Money(res::kSold0);
    s.s2 = Money(res::kSold2);
    s.s4 = Money(res::kMined4);
    s.s5 = Money(res::kMined5);
    s.s1 = Money(res::kMined1);
    if (v.stock3 < 150) BuyThree(s);
    if (Ready(U.akademia_E) != 0 && s.s1 > 1000 && !Running(G.AKA08DA)) {
        if (s.s4 > 3000) Trade(res::kMined4, res::kRecruit3, 2000);
        if (s.s5 > 4000) Trade(res::kMined5, res::kRecruit3, 3000);
    }
    if (Money(res::kSold2) > 120000) Trade(res::kSold2, res::kMined1, 100000);
    if (Money(res::kSold0) > 100000) Trade(res::kSold0, res::kMined1, 90000);
    SmithyTrading();
    OpeningTrade();
}

}  // namespace

void ProcessMiddleSeaAI() {
    host::SetDefenseState(0);
    host::SetMineBalanse(kMineBalanceSteps, MineBalanceSea);
    SeaView v;
    v.peasants = Count(U.Kreposnoi_pruss);
    v.stock3 = Money(res::kRecruit3);
    v.kuz03Started = Running(G.KUZ03DA);
    v.armySize = ArmySize();
    if (host::GetDifficulty() > 0) Want(U.Kozak_loshad_DIP, 15, 20, 40);
    v.towersReady = AllFinished(U.Bashnia);
    if (v.peasants == 0) return;
    if (!FirstMillStands()) return;
    Research(G.Melnica_GETRES, 100, 100);

    Economy(v);
    Buildings(v);
    Research(kSeaResearch);
    LockReleaseOrSale();
    Research(G.AKA30DA, 100, 100);
    Want(kPorts);
    Fleet();
    Research(G.AKA06DA, 99, 100);
    AcademyAndMortarResearch();
    FirstUpgradeLockRule();
    Boats();
    Research(G.AKA07DA, 99, 90);
    Research(G.Melnica_GETRES2, 99, 100);
    Research(kTowerPauseSet);
    Towers(v.peasants, v.towersReady, 35, 60);
    Army(v);
    if (Done(G.MAINDA)) {
        Done(G.Melnica_GETRES2) ? host::SetPDistribution(8, 4, 4) : host::SetPDistribution(8, 2, 2);
    }
    if (Count(U.Konushnia_Swesair) != 0) Want(U.Lodka, 6, 90, 90);
    if (Done(G.AKA07DA)) Want(U.Lodka, 20, 10, 90);
    if (v.kuz03Started) {
        Want(kStables);
        Research(G.MAINDA, 99, 100);
        MusketeerAcademyResearch();
    }
    Research(kLateResearch);
    if (v.armySize > 350) {
        Want(U.Mushketer_ev, 500, 10, 100);
        Research(kSeaMusketeerSet);
    }
    SeaTrading(v);
}

}  // namespace denmark
