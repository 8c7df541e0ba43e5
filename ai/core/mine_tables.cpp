// Contents of the mine tables; the game may keep their addresses, so they live for as long as
// the library does.
#include "mine_tables.h"

namespace denmark {

const MineBalanceStep MineBalanceNormal[kMineBalanceSteps] = {
    {0, 0},    {15, 15},  {20, 15},   {25, 15},   {30, 15},    {50, 30},  {55, 35},
    {65, 40},  {70, 40},  {80, 50},   {105, 60},  {125, 65},   {150, 70}, {175, 75},
    {200, 80}, {225, 90}, {250, 100}, {500, 200}, {4000, 400},
};

const MineBalanceStep MineBalanceLand[kMineBalanceSteps] = {
    {0, 0},     {19, 19},   {25, 20},   {33, 20},   {43, 23},    {48, 28},  {53, 33},
    {58, 35},   {65, 40},   {80, 50},   {105, 55},  {125, 60},   {150, 75}, {175, 90},
    {200, 100}, {225, 100}, {250, 120}, {500, 140}, {4000, 300},
};

const MineBalanceStep MineBalanceSea[kMineBalanceSteps] = {
    {0, 0},    {19, 19},  {25, 20},  {35, 25},   {45, 30},    {50, 30},  {55, 35},
    {60, 40},  {65, 45},  {80, 50},  {105, 60},  {125, 65},   {150, 70}, {175, 75},
    {200, 80}, {225, 80}, {250, 80}, {500, 100}, {4000, 300},
};

const MineBalanceStep MineBalanceRich[kMineBalanceRichSteps] = {{0, 0}, {50, 45}, {1000, 45}};

const int32_t MineUpgradeRulesZero[kMineUpgradeRuleCount] = {};

const int32_t MineUpgradeRulesLight[kMineUpgradeRuleCount] = {90};

const int32_t MineUpgradeRulesFull[kMineUpgradeRuleCount] = {
    90, 80, 70, 25, 20, 15, 25, 20, 15, 90, 50, 30, 25, 20,
    15, 25, 20, 15, 90, 90, 90, 30, 30, 30, 30, 30, 30,
};

// Every triple of 0..2, grouped by the first value; within a group the pairs run
// (0,0) (1,0) (0,1) (1,1) (2,0) (0,2) (2,1) (1,2) (2,2).
MineBuildingRule MineBuildingRulesNormal[kMineBuildingRulesNormalCount] = {
    {0, 0, 0, 0, 1}, {0, 1, 0, 0, 1}, {0, 0, 1, 0, 1}, {0, 1, 1, 0, 1}, {0, 2, 0, 0, 1}, {0, 0, 2, 0, 1},
    {0, 2, 1, 0, 1}, {0, 1, 2, 0, 1}, {0, 2, 2, 0, 1}, {1, 0, 0, 0, 1}, {1, 1, 0, 0, 1}, {1, 0, 1, 0, 1},
    {1, 1, 1, 0, 1}, {1, 2, 0, 0, 1}, {1, 0, 2, 0, 1}, {1, 2, 1, 0, 1}, {1, 1, 2, 0, 1}, {1, 2, 2, 0, 1},
    {2, 0, 0, 0, 4}, {2, 1, 0, 0, 1}, {2, 0, 1, 0, 4}, {2, 1, 1, 0, 1}, {2, 2, 0, 0, 1}, {2, 0, 2, 0, 4},
    {2, 2, 1, 0, 1}, {2, 1, 2, 0, 1}, {2, 2, 2, 0, 1},
};

const MineBuildingRule MineBuildingRulesRich[kMineBuildingRulesRichCount] = {
    {0, 0, 0, 0, 1}, {1, 0, 0, 0, 1}, {2, 0, 0, 0, 1}, {3, 0, 0, 0, 1}, {4, 0, 0, 0, 1},
};

}  // namespace denmark
