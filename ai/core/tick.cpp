// ProcessAI and the market functions.
#include "tick.h"

#include "arith.h"
#include "handles.h"
#include "host.h"
#include "mine_tables.h"
#include "plugin.h"
#include "requests.h"
#include "strategies.h"

namespace denmark {

int32_t LandType;
int32_t StartRes;
int32_t AINation;
int32_t FreePeasants;

namespace {

constexpr int32_t kPeasantResources[] = {res::kMined1, res::kMined4, res::kMined5};

void RaiseFirstBuildingRule() { MineBuildingRulesNormal[0].count = 4; }

bool IsLandStrategy(int32_t landType) { return landType >= 2 && landType <= 4; }

}  // namespace

void UpdateTickState() {
    AINation = host::GetAINation();
    int32_t peasants = host::GetUnits(&Units.Kreposnoi_pruss);
    for (int32_t res : kPeasantResources) peasants = Sub32(peasants, host::GetExtraction(res));
    FreePeasants = peasants;
    // GetStartRes is asked again here although ProcessAI has just read it: on purpose, the
    // game sees both calls.
    if (host::GetStartRes() == 0) RaiseFirstBuildingRule();
    // The first of the mine settings that ProcessAI sends several times a tick (see there).
    host::SetMineBalanse(kMineBalanceSteps, MineBalanceNormal);
    host::SetMinesUpgradeRules(MineUpgradeRulesZero);
    host::SetMinesBuildingRules(MineBuildingRulesNormal, kMineBuildingRulesNormalCount);
}

void ChooseMineUpgradeRules() {
    // The zero rules go first even when a rule below replaces them in the same call: on
    // purpose, every tick sends them here (again, after UpdateTickState).
    host::SetMinesUpgradeRules(MineUpgradeRulesZero);
    if (host::UpgIsRun(&Upgrades.Pikiner_evro[kAttack4]) &&
        host::UpgIsRun(&Upgrades.Pikiner_evro[kShield4])) {
        host::SetMinesUpgradeRules(MineUpgradeRulesLight);
    } else if (IsLandStrategy(LandType)) {
        host::SetMinesUpgradeRules(MineUpgradeRulesFull);
    } else if (host::UpgIsRun(&Upgrades.AKA08DA) && !host::UpgIsRun(&Upgrades.AKA24DA)) {
        host::SetMinesUpgradeRules(MineUpgradeRulesZero);
    } else if (host::UpgIsRun(&Upgrades.AKA24DA)) {
        host::SetMinesUpgradeRules(MineUpgradeRulesFull);
    }
}

void TryFormationLeaders() {
    if (LandType > 1) return;
    const int32_t n = host::GetUnits(&Units.Pikiner_evro) / 36;
    if (n == 0) return;
    host::TryUnit(&Units.Officer_evro, n, 50, 50);
    host::TryUnit(&Units.Barabanshik_ev1, n, 20, 50);
}

// The mine settings go to the game several times a tick, on purpose, and the expected traces
// hold every one: the normal balance twice (UpdateTickState, then right below) and for land
// types 0 and 5 without rich start resources a third time; the normal building rules twice
// or three times the same way; the zero upgrade rules up to four times. The game keeps the
// last of each, but it sees every call: sending each only once changes what it receives.
void ProcessAI() {
    LandType = host::GetLandType();
    StartRes = host::GetStartRes();
    UpdateTickState();
    host::SetMineBalanse(kMineBalanceSteps, MineBalanceNormal);  // the second time this tick
    ChooseMineUpgradeRules();
    host::SetMinesBuildingRules(MineBuildingRulesNormal, kMineBuildingRulesNormalCount);  // second time

    switch (LandType) {
    case 0:
    case 5:
        if (StartRes == 3) {
            host::SetMineBalanse(kMineBalanceRichSteps, MineBalanceRich);
            host::SetMinesUpgradeRules(MineUpgradeRulesLight);
            host::SetMinesBuildingRules(MineBuildingRulesRich, kMineBuildingRulesRichCount);
            InlandAI(true);
        } else {
            // The normal balance, zero rules and normal building rules once more (the third
            // balance of this tick), and the first record raised again: all on purpose.
            host::SetMineBalanse(kMineBalanceSteps, MineBalanceNormal);
            host::SetMinesUpgradeRules(MineUpgradeRulesZero);
            if (StartRes == 0) RaiseFirstBuildingRule();
            host::SetMinesBuildingRules(MineBuildingRulesNormal, kMineBuildingRulesNormalCount);
            InlandAI(false);
        }
        break;
    case 1: ProcessMiddleSeaAI(); break;
    case 2:
    case 3:
    case 4:
        host::SET_MINE_CAPTURE_RADIUS(290);
        host::SET_MINE_UPGRADE1_RADIUS(290);
        host::SET_MINE_UPGRADE2_RADIUS(290);
        host::SetMineBalanse(kMineBalanceSteps, MineBalanceLand);
        LandAI();
        break;
    default: break;
    }

    TryFormationLeaders();
}

void ProcessLandAI() {}

int32_t TradeCost(int32_t sold, int32_t bought, int32_t wanted) {
    return Div32(Mul32(wanted, 1000), host::GetTorgResult(sold, bought, 1000));
}

bool BuyResource(int32_t res, int32_t wanted, int32_t payWith) {
    if (host::GetMoney(res) >= wanted) return true;
    const int32_t shortfall = Sub32(wanted, host::GetMoney(res));
    const int32_t cost = TradeCost(payWith, res, shortfall);
    if (host::GetMoney(payWith) <= cost) return false;
    if (cost <= 1000) return false;
    int32_t trades = cost / 15000;
    if (trades > 15) trades = 15;
    for (int32_t i = 0; i < trades; ++i) host::AI_Torg(res, payWith, 100);
    host::AI_Torg(payWith, res, TradeCost(payWith, res, shortfall));
    return true;
}

}  // namespace denmark
