// The AI tick: shared tick state, mine rules of the moment, dispatch, market functions.
#pragma once

#include <cstdint>

namespace denmark {

// Written at the start of every tick; read by the decision routines of the same tick.
extern int32_t LandType;
extern int32_t StartRes;
extern int32_t AINation;
extern int32_t FreePeasants;

void UpdateTickState();
void ChooseMineUpgradeRules();
void TryFormationLeaders();

// Amount of `sold` that buys `wanted` of `bought` at the current market rate.
int32_t TradeCost(int32_t sold, int32_t bought, int32_t wanted);

// Makes sure `wanted` of `res` is held, trading `payWith` for it when worthwhile.
bool BuyResource(int32_t res, int32_t wanted, int32_t payWith);

}  // namespace denmark
