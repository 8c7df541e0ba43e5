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
    if (Money(3) > 1650) Research(kSeaPikeSet);
}

void FieldEconomy(const SeaView& v) {
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
        (Money(1) > 3700 && Money(4) > 5500 && Money(5) > 8400)) {
        host::SetUpgradeLock(1, 0);
        host::SetUpgradeLock(4, 0);
        host::SetUpgradeLock(3, 0);
        host::SetUpgradeLock(1, 0);
    } else if (Money(0) != 0 && Money(5) > 8400) {
        if (Money(5) > 14000) Trade(5, 1, 5000);
        if (Money(4) > 13000) Trade(4, 1, 5000);
    }
}

const UnitRequest kPorts[] = {{&U.PorE, 1, 50, 90}, {&U.PorE, 2, 20, 50}, {&U.PorE, 3, 10, 50}};

// Frigates once "AKA06DA" is done; before that up to six galleys, by the ships at hand.
void Fleet() {
    if (Done(G.AKA06DA)) {
        Want(U.Fregat, 10, 50, 50);
        return;
    }
    int32_t n = UsageCount(28) / 4;
    n = Add32(n, UsageCount(27));
    n = Add32(n, UsageCount(25));
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
        {s.s2, 5000, 2, 3000}, {s.s2, 1000, 2, 900}, {s.s0, 5000, 0, 3000}, {s.s0, 1000, 0, 900},
        {s.s5, 2000, 5, 800},  {s.s4, 2000, 4, 800}, {s.s1, 1000, 1, 500},
    };
    for (const Offer& o : offers) {
        if (o.stock > o.above) {
            Trade(o.sold, 3, o.amount);
            return;
        }
    }
}

// Selling at a smithy before "KUZ03DA": for 1 while 1 is short, for 4 while 1 is plentiful.
void SmithyTrading() {
    if (!(Count(U.Kuznica) != 0 && !Running(G.KUZ03DA))) return;
    if (Money(5) > 9000 && Money(0) != 0 && Money(1) < 4000) {
        if (Money(5) > 12000) Trade(5, 1, 3000);
        if (Money(4) > 8000) Trade(4, 1, 2000);
        if (Money(2) > 20000) Trade(2, 1, 12000);
        if (Money(3) > 30000) Trade(3, 1, 15000);
    }
    if (Money(5) > 9000 && Money(1) != 0 && Money(1) > 4000) {
        if (Money(5) > 12000) Trade(5, 4, 3000);
        if (Money(2) > 20000) Trade(2, 4, 12000);
        if (Money(3) > 30000) Trade(3, 4, 15000);
    }
}

bool NationInTable(int32_t nation) { return nation >= 0 && nation < kOpeningTradeNations; }

// Once per nation while the library stays loaded. A nation index outside the table cannot
// be recorded, so it gets no opening trade (it would otherwise repeat every tick).
void OpeningTrade() {
    const int32_t nation = host::GetAINation();
    if (!NationInTable(nation) || OpeningTradeDone[nation] != 0) return;
    Trade(5, 3, 4000);
    const int32_t again = host::GetAINation();
    if (NationInTable(again)) OpeningTradeDone[again] = 1;
}

void SeaTrading(const SeaView& v) {
    if (Ready(U.Rinok) == 0) return;
    Stocks s;
    s.s0 = Money(0);
    s.s2 = Money(2);
    s.s4 = Money(4);
    s.s5 = Money(5);
    s.s1 = Money(1);
    if (v.stock3 < 150) BuyThree(s);
    if (Ready(U.akademia_E) != 0 && s.s1 > 1000 && !Running(G.AKA08DA)) {
        if (s.s4 > 3000) Trade(4, 3, 2000);
        if (s.s5 > 4000) Trade(5, 3, 3000);
    }
    if (Money(2) > 120000) Trade(2, 1, 100000);
    if (Money(0) > 100000) Trade(0, 1, 90000);
    SmithyTrading();
    OpeningTrade();
}

}  // namespace

void ProcessMiddleSeaAI() {
    host::SetDefenseState(0);
    host::SetMineBalanse(kMineBalanceSteps, MineBalanceSea);
    SeaView v;
    v.peasants = Count(U.Kreposnoi_pruss);
    v.stock3 = Money(3);
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
