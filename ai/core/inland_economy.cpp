// Inland economy: the peasant distribution by the research still missing and the stocks it
// needs, and the market (opening trade, purchases for the next upgrades, surplus sales).
#include "request_sets.h"
#include "strategies.h"
#include "tick.h"

namespace denmark {

int32_t UnitCost(HostHandle& type, int32_t res) {
    return host::GetUnitCost(static_cast<uint8_t>(AINation), &type, res);
}

int32_t UpgradeCost(HostHandle& upgrade, int32_t res) {
    return host::GetUpgradeCost(static_cast<uint8_t>(AINation), &upgrade, res);
}

namespace {

constexpr UnitHandles& U = Units;
constexpr UpgradeHandles& G = Upgrades;

// Whether the stock of `res` falls short of num/den of a cost; the cost is asked first.
bool ShortOf(int32_t cost, int32_t num, int32_t den, int32_t res) {
    const int32_t needed = Scaled(cost, num, den);
    return Money(res) < needed;
}

void Distribute(bool first, int32_t a1, int32_t b1, int32_t c1, int32_t a2, int32_t b2, int32_t c2) {
    first ? host::SetPDistribution(a1, b1, c1) : host::SetPDistribution(a2, b2, c2);
}

// The opening-trade flag is the host's AI register AINation.
bool OpeningTradeMade() { return host::GetAIRegister(AINation) != 0; }
void RecordOpeningTrade() { host::SetAIRegister(AINation, 1); }

}  // namespace

// Every rule sends its distribution as it goes, so the game receives several in one tick and
// keeps the last: on purpose, including (9, 4, 4) twice in a row and the field asked twice.
void PeasantDistributionModule() {
    host::SetPDistribution(0, 4, 4);
    if (!HasField()) return;
    host::SetPDistribution(9, 4, 4);
    if (host::GetStartRes() == 3) return;
    if (!HasField()) {
        host::SetPDistribution(0, 6, 3);
        return;
    }
    host::SetPDistribution(9, 4, 4);
    if (!Running(G.Melnica_GETRES2))
        Distribute(ShortOf(UpgradeCost(G.Melnica_GETRES2, res::kRecruit3), 11, 10, res::kRecruit3), 9, 4, 4,
                   9, 6, 6);
    if (!Running(G.MAINDA))
        Distribute(ShortOf(UpgradeCost(G.MAINDA, res::kRecruit3), 11, 10, res::kRecruit3), 9, 2, 9, 9, 6, 6);
    if (!Running(G.AKA24DA))
        Distribute(ShortOf(UpgradeCost(G.AKA24DA, res::kRecruit3), 13, 10, res::kRecruit3), 9, 9, 1, 6, 9, 1);
    if ((!Running(G.Pikiner_evro[kAttack4]) || !Running(G.Pikiner_evro[kShield4])) &&
        Money(res::kRecruit3) < 9000)
        host::SetPDistribution(9, 4, 1);
    if (Count(U.Dip_korpus) == 0 && host::GetPeaceTimeLeft() < 2)
        Distribute(ShortOf(UnitCost(U.Dip_korpus, res::kSold2), 11, 10, res::kSold2), 9, 5, 3, 9, 7, 1);
    if (!Running(G.AKA08DA)) host::SetPDistribution(9, 1, 1);
    if (!Running(G.AKA01DA) || !Running(G.KUZ01DA)) host::SetPDistribution(9, 4, 1);
    if (Count(U.akademia_E) == 0) host::SetPDistribution(6, 4, 4);
    if (!Running(G.Melnica_GETRES)) host::SetPDistribution(9, 1, 1);
}

void MarketModule() {
    if (Ready(U.Rinok) == 0) return;
    if (host::GetStartRes() == 3) {
        if (!OpeningTradeMade()) {
            Trade(res::kSold2, res::kRecruit3, 500000);
            Trade(res::kSold0, res::kRecruit3, 80000);
            RecordOpeningTrade();
        }
        return;
    }
    if (Ready(U.Rinok) == 0) return;
    if (!OpeningTradeMade()) {
        Trade(res::kMined5, res::kRecruit3, 4000);
        if (host::GetStartRes() == 2) {
            Trade(res::kMined4, res::kSold0, 1000);
            Trade(res::kMined4, res::kSold2, 1000);
        }
        if (host::GetStartRes() == 1) {
            Trade(res::kMined4, res::kSold0, 600);
            Trade(res::kMined4, res::kSold2, 600);
        }
        RecordOpeningTrade();
    }
    if (Running(G.AKA08DA) && !Running(G.AKA24DA) && Ready(U.akademia_E) != 0)
        BuyResource(res::kMined5, Scaled(UpgradeCost(G.AKA24DA, res::kMined5), 11, 10), res::kSold0);
    // Resources for "MAINDA": 3, then 1, then 4, each only after the one before was had.
    if (Running(G.AKA24DA) && !Running(G.MAINDA) &&
        BuyResource(res::kRecruit3, Scaled(UpgradeCost(G.MAINDA, res::kRecruit3), 11, 10), res::kSold2) &&
        BuyResource(res::kMined1, Scaled(UpgradeCost(G.MAINDA, res::kMined1), 105, 100), res::kSold2))
        BuyResource(res::kMined4, Scaled(UpgradeCost(G.MAINDA, res::kMined4), 11, 10), res::kSold2);
    if (Money(res::kSold2) > 100000) {
        Trade(res::kSold0, res::kSold2, 5000);
        Trade(res::kSold2, res::kMined1, Money(res::kSold2));
    }
    if (Money(res::kSold0) > 100000) {
        Trade(res::kSold2, res::kSold0, 5000);
        Trade(res::kSold0, res::kMined1, Money(res::kSold0));
    }
}

}  // namespace denmark
