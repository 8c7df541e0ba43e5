// The mine tables as the game receives them, byte for byte.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "fake_game.h"
#include "mine_tables.h"

using denmark_test::FakeGame;

namespace {

std::vector<uint8_t> Bytes(const void* p, std::size_t n) {
    const auto* b = static_cast<const uint8_t*>(p);
    return std::vector<uint8_t>(b, b + n);
}

TEST(MineTables, BalanceStepIsTwoLittleEndianShorts) {
    EXPECT_EQ(Bytes(&denmark::MineBalanceNormal[18], 4), (std::vector<uint8_t>{0xA0, 0x0F, 0x90, 0x01}));
    EXPECT_EQ(Bytes(&denmark::MineBalanceRich[1], 4), (std::vector<uint8_t>{50, 0, 45, 0}));
    EXPECT_EQ(Bytes(&denmark::MineBalanceLand[17], 4), (std::vector<uint8_t>{0xF4, 0x01, 140, 0}));
}

TEST(MineTables, BuildingRuleIsTripleZeroByteAndCount) {
    FakeGame fresh("");
    EXPECT_EQ(Bytes(&denmark::MineBuildingRulesNormal[20], 8),
              (std::vector<uint8_t>{2, 0, 1, 0, 4, 0, 0, 0}));
    EXPECT_EQ(Bytes(&denmark::MineBuildingRulesNormal[0], 8), (std::vector<uint8_t>{0, 0, 0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(Bytes(&denmark::MineBuildingRulesRich[4], 8), (std::vector<uint8_t>{4, 0, 0, 0, 1, 0, 0, 0}));
}

TEST(MineTables, AfterStartResourcesZeroRecordZeroReadsFour) {
    FakeGame game("start-res 0\nland-type 1\n");
    game.ProcessAI();
    EXPECT_EQ(Bytes(&denmark::MineBuildingRulesNormal[0], 8), (std::vector<uint8_t>{0, 0, 0, 0, 4, 0, 0, 0}));
}

TEST(MineTables, BalancesRiseAndSecondNeverExceedsFirst) {
    struct Table {
        const char* name;
        const MineBalanceStep* steps;
        int n;
    };
    for (const Table& t :
         {Table{"normal", denmark::MineBalanceNormal, 19}, Table{"land", denmark::MineBalanceLand, 19},
          Table{"sea", denmark::MineBalanceSea, 19}, Table{"rich", denmark::MineBalanceRich, 3}}) {
        SCOPED_TRACE(t.name);
        EXPECT_EQ(t.steps[0].first, 0);
        EXPECT_EQ(t.steps[0].second, 0);
        for (int i = 1; i < t.n; ++i) {
            EXPECT_GT(t.steps[i].first, t.steps[i - 1].first) << "step " << i;
            EXPECT_LE(t.steps[i].second, t.steps[i].first) << "step " << i;
        }
        EXPECT_EQ(t.steps[t.n - 1].first, t.n == 3 ? 1000 : 4000);
    }
}

TEST(MineTables, SeaBalanceSteps) {
    // A few steps where the sea balance differs from the others.
    EXPECT_EQ(denmark::MineBalanceSea[3].first, 35);
    EXPECT_EQ(denmark::MineBalanceSea[3].second, 25);
    EXPECT_EQ(denmark::MineBalanceSea[8].second, 45);
    EXPECT_EQ(denmark::MineBalanceSea[16].second, 80);
    EXPECT_EQ(denmark::MineBalanceSea[17].second, 100);
    EXPECT_EQ(denmark::MineBalanceSea[18].second, 300);
}

TEST(MineTables, BuildingRulesCoverEveryTripleOnce) {
    bool seen[3][3][3] = {};
    for (const MineBuildingRule& r : denmark::MineBuildingRulesNormal) {
        ASSERT_LT(r.first, 3);
        ASSERT_LT(r.second, 3);
        ASSERT_LT(r.third, 3);
        EXPECT_FALSE(seen[r.first][r.second][r.third]);
        seen[r.first][r.second][r.third] = true;
        EXPECT_EQ(r.zero, 0);
    }
    int fours = 0;
    for (int i = 1; i < 27; ++i) fours += denmark::MineBuildingRulesNormal[i].count == 4;
    EXPECT_EQ(fours, 3);
    EXPECT_EQ(denmark::MineBuildingRulesNormal[18].count, 4);
    EXPECT_EQ(denmark::MineBuildingRulesNormal[23].count, 4);
}

TEST(MineTables, UpgradeRuleSums) {
    int light = 0, full = 0, zero = 0;
    for (int i = 0; i < 27; ++i) {
        light += denmark::MineUpgradeRulesLight[i];
        full += denmark::MineUpgradeRulesFull[i];
        zero += denmark::MineUpgradeRulesZero[i] != 0;
    }
    EXPECT_EQ(light, 90);
    EXPECT_EQ(full, 1100);  // 360 + 290 + 450, group by group
    EXPECT_EQ(zero, 0);
}

}  // namespace
