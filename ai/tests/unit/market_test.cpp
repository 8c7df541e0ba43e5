// TradeCost and BuyResource against a market whose rate the scenario sets.
#include <gtest/gtest.h>

#include "fake_game.h"
#include "tick.h"

namespace denmark_test {
namespace {

struct Cost {
    int32_t rate;  // amount bought per 1000 sold
    int32_t wanted;
    int32_t cost;
};

class TradeCostCase : public ::testing::TestWithParam<Cost> {};

TEST_P(TradeCostCase, WantedTimes1000OverTheRateIn32Bits) {
    const Cost c = GetParam();
    FakeGame game("rate 1 0 " + std::to_string(c.rate) + "\n");
    EXPECT_EQ(denmark::TradeCost(1, 0, c.wanted), c.cost);
    EXPECT_EQ(game.Take(),
              std::vector<std::string>{"GetTorgResult(1, 0, 1000) -> " + std::to_string(c.rate)});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TradeCostCase,
    ::testing::Values(Cost{1000, 400, 400}, Cost{800, 400, 500}, Cost{3000, 1000, 333},
                      Cost{-3000, 1000, -333},
                      // 3,000,000 × 1000 wraps to -1,294,967,296.
                      Cost{1000, 3000000, -1294967},
                      // A rate of 0 costs the largest amount: nothing is ever bought with it.
                      Cost{0, 5, INT32_MAX},
                      // 268,435,456 × 1000 wraps to the smallest value; divided by -1 it stays.
                      Cost{-1, 268435456, INT32_MIN}));

struct Purchase {
    const char* name;
    const char* market;  // scenario lines
    int32_t res, wanted, payWith;
    bool result;
    std::vector<std::string> trace;
};

class BuyResourceCase : public ::testing::TestWithParam<Purchase> {};

TEST_P(BuyResourceCase, TradesAndResult) {
    const Purchase& p = GetParam();
    FakeGame game(p.market);
    EXPECT_EQ(denmark::BuyResource(p.res, p.wanted, p.payWith), p.result);
    EXPECT_EQ(game.Take(), p.trace);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BuyResourceCase,
    ::testing::Values(
        Purchase{"StockCovers", "money 2 500\n", 2, 500, 3, true, {"GetMoney(2) -> 500"}},
        Purchase{"CostExactly1000IsNeverBought",
                 "money 0 500\nmoney 1 5000\n",
                 0,
                 1500,
                 1,
                 false,
                 {"GetMoney(0) -> 500", "GetMoney(0) -> 500", "GetTorgResult(1, 0, 1000) -> 1000",
                  "GetMoney(1) -> 5000"}},
        Purchase{"PayerHoldsExactlyTheCost",
                 "money 0 0\nmoney 1 2000\n",
                 0,
                 2000,
                 1,
                 false,
                 {"GetMoney(0) -> 0", "GetMoney(0) -> 0", "GetTorgResult(1, 0, 1000) -> 1000",
                  "GetMoney(1) -> 2000"}},
        Purchase{"Cost1001OnlyTheFinalTrade",
                 "money 0 0\nmoney 1 1002\n",
                 0,
                 1001,
                 1,
                 true,
                 {"GetMoney(0) -> 0", "GetMoney(0) -> 0", "GetTorgResult(1, 0, 1000) -> 1000",
                  "GetMoney(1) -> 1002", "GetTorgResult(1, 0, 1000) -> 1000", "AI_Torg(1, 0, 1001)"}},
        Purchase{"Cost45000ThreeSalesFirst", "money 4 5000\nmoney 1 100000\n", 4, 50000, 1, true,
                 Concat({{"GetMoney(4) -> 5000", "GetMoney(4) -> 5000", "GetTorgResult(1, 4, 1000) -> 1000",
                          "GetMoney(1) -> 100000"},
                         Repeat(3, "AI_Torg(4, 1, 100)"),
                         {"GetTorgResult(1, 4, 1000) -> 1000", "AI_Torg(1, 4, 45000)"}})},
        Purchase{"Cost300000CappedAtFifteenSales", "money 0 0\nmoney 3 1000000\nrate 3 0 100\n", 0, 30000, 3,
                 true,
                 Concat({{"GetMoney(0) -> 0", "GetMoney(0) -> 0", "GetTorgResult(3, 0, 1000) -> 100",
                          "GetMoney(3) -> 1000000"},
                         Repeat(15, "AI_Torg(0, 3, 100)"),
                         {"GetTorgResult(3, 0, 1000) -> 100", "AI_Torg(3, 0, 300000)"}})},
        Purchase{"RateZeroBuysNothing",
                 "money 0 10\nmoney 1 2147483647\nrate 0\n",
                 0,
                 20,
                 1,
                 false,
                 {"GetMoney(0) -> 10", "GetMoney(0) -> 10", "GetTorgResult(1, 0, 1000) -> 0",
                  "GetMoney(1) -> 2147483647"}}),
    RowName<Purchase>);

}  // namespace
}  // namespace denmark_test
