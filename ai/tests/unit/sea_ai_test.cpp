// The sea strategy: early end, distribution, fleet, locks, trading and the opening trade
// that each nation makes once per load of the library.
#include <gtest/gtest.h>

#include "fake_game.h"
#include "plugin.h"
#include "strategies.h"

namespace denmark_test {
namespace {

using Case = StateCase;

// Peasants, a mill, and a nation outside the opening-trade table so that no opening trade
// mixes into the other trades.
const std::string kBase = "random 2\nnation 16\nunits Kreposnoi_pruss(DA) 30\nunits Melnica(DA) 1\n";
// The same with a finished market, for the opening trade; each case names its own nation.
const std::string kMarket = kBase + "units Rinok(DA) 1\n";

Lines SeaTick(const std::string& state) {
    return CallsAfterSetUp(kBase + state, denmark::ProcessMiddleSeaAI);
}

TEST(SeaEarlyEnd, WithoutPeasantsNothingIsAskedForAfterTheTowerCount) {
    const auto t = SeaTick("units Kreposnoi_pruss(DA) 0\nunits Rinok(DA) 1\n");
    ASSERT_FALSE(t.empty());
    EXPECT_EQ(t.back(), "GetUnits(Bashnia(DA)) -> 0");
    EXPECT_TRUE(Filter(t, "TryUnit(").empty());
}

TEST(SeaEarlyEnd, WithoutAMillNothingFollowsItsRequest) {
    const auto t = SeaTick("units Melnica(DA) 0\nunits Rinok(DA) 1\nmoney 3 100\nmoney 2 9000\n");
    ASSERT_GE(t.size(), 2u);
    EXPECT_EQ(t[t.size() - 2], "TryUnit(Melnica(DA), 1, 100, 100)");
    EXPECT_EQ(t.back(), "GetUnits(Melnica(DA)) -> 0");
}

using SeaDistribution = StateTable;
TEST_P(SeaDistribution, TriplesInOrder) { ExpectCalls(SeaTick, "", {"SetPDistribution"}); }

INSTANTIATE_TEST_SUITE_P(
    Cases, SeaDistribution,
    ::testing::Values(
        Case{"field yes\nmoney 3 12001\n", {"SetPDistribution(9, 6, 6)", "SetPDistribution(9, 5, 5)"}},
        Case{"field yes\nmoney 3 12000\n", {"SetPDistribution(9, 5, 5)"}},
        Case{"money 3 50000\n", {"SetPDistribution(0, 1, 1)"}},
        Case{"field yes\nupgrade MAINDA done\n", {"SetPDistribution(9, 5, 5)", "SetPDistribution(8, 2, 2)"}},
        Case{"field yes\nupgrade MAINDA done\nupgrade Melnica(DA)GETRES2 done\n",
             {"SetPDistribution(9, 5, 5)", "SetPDistribution(8, 4, 4)"}}));

using Galleys = StateTable;
TEST_P(Galleys, SizedByShipsAtHand) {
    ExpectCalls(SeaTick, "", {"TryUnit(GALERA(DA)", "TryUnit(Fregat(DA)"});
}

INSTANTIATE_TEST_SUITE_P(
    Counts, Galleys,
    ::testing::Values(Case{"", {}}, Case{"usage 28 3\n", {}},
                      Case{"usage 28 4\n", {"TryUnit(GALERA(DA), 1, 50, 50)"}},
                      Case{"usage 27 6\n", {"TryUnit(GALERA(DA), 6, 50, 50)"}},
                      Case{"usage 27 3\nusage 25 3\nusage 28 4\n", {"TryUnit(GALERA(DA), 6, 50, 50)"}},
                      Case{"usage 27 -2\nusage 25 1\n", {}},
                      Case{"usage 27 3\nupgrade AKA06DA done\n", {"TryUnit(Fregat(DA), 10, 50, 50)"}}));

TEST(Galleys, FrigatesNeedNoShipCount) {
    EXPECT_TRUE(Filter(SeaTick("upgrade AKA06DA done\n"), "GetUnitsByUsage").empty());
    EXPECT_EQ(
        Filter(SeaTick(""), "GetUnitsByUsage"),
        (Lines{"GetUnitsByUsage(0, 28) -> 0", "GetUnitsByUsage(0, 27) -> 0", "GetUnitsByUsage(0, 25) -> 0"}));
}

// Resource 3 below 150: the first trade whose stock allows it.
using Shortage = StateTable;
TEST_P(Shortage, FirstTradeThatHolds) {
    ExpectCalls(SeaTick, "units Rinok(DA) 1\nmoney 3 149\n", {"AI_Torg("});
}

INSTANTIATE_TEST_SUITE_P(Stocks, Shortage,
                         ::testing::Values(Case{"money 2 5001\nmoney 0 9000\n", {"AI_Torg(2, 3, 3000)"}},
                                           Case{"money 2 5000\n", {"AI_Torg(2, 3, 900)"}},
                                           Case{"money 2 1000\nmoney 0 5001\n", {"AI_Torg(0, 3, 3000)"}},
                                           Case{"money 0 1001\nmoney 5 9999\n", {"AI_Torg(0, 3, 900)"}},
                                           Case{"money 0 1000\nmoney 5 2001\n", {"AI_Torg(5, 3, 800)"}},
                                           Case{"money 5 2000\nmoney 4 2001\n", {"AI_Torg(4, 3, 800)"}},
                                           Case{"money 4 2000\nmoney 1 1001\n", {"AI_Torg(1, 3, 500)"}},
                                           Case{"money 1 1000\n", {}},
                                           Case{"money 3 150\nmoney 2 6000\n", {}}));

// Stocks read once at the start of the market step serve the shortage and academy rules.
TEST(Shortage, AcademyRuleUsesTheSameStocks) {
    const auto t = SeaTick(
        "units Rinok(DA) 1\nmoney 3 149\nunits akademia_E(DA) 1\n"
        "money 1 1001\nmoney 4 3001\nmoney 5 4001\n");
    EXPECT_EQ(Filter(t, "AI_Torg("),
              (Lines{"AI_Torg(5, 3, 800)", "AI_Torg(4, 3, 2000)", "AI_Torg(5, 3, 3000)"}));
    EXPECT_EQ(Filter(t, "GetMoney(5)").size(), 1u);
}

using LockOrSale = StateTable;
TEST_P(LockOrSale, ReleasesLocksOrSellsSurplus) { ExpectCalls(SeaTick, "", {"SetUpgradeLock(", "AI_Torg("}); }

const Lines kReleased = {"SetUpgradeLock(1, 0)", "SetUpgradeLock(4, 0)", "SetUpgradeLock(3, 0)",
                         "SetUpgradeLock(1, 0)", "SetUpgradeLock(1, 0)"};

const std::string kStables = "units Konushnia_Swesair(DA) 1\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, LockOrSale,
    ::testing::Values(Case{"", kReleased}, Case{kStables + "upgrade KUZ03DA running\n", kReleased},
                      Case{kStables + "money 1 3701\nmoney 4 5501\nmoney 5 8401\n", kReleased},
                      Case{kStables + "money 1 3700\nmoney 4 5501\nmoney 5 8401\nmoney 0 1\n",
                           {"SetUpgradeLock(1, 0)"}},
                      Case{kStables + "money 0 1\nmoney 5 14001\nmoney 4 13001\n",
                           {"SetUpgradeLock(1, 0)", "AI_Torg(5, 1, 5000)", "AI_Torg(4, 1, 5000)"}},
                      Case{kStables + "money 0 0\nmoney 5 14001\nmoney 4 13001\n", {"SetUpgradeLock(1, 0)"}},
                      Case{kStables + "money 0 14001\nupgrade AKA30DA running\nmoney 1 7499\n",
                           {"SetUpgradeLock(1, 0)", "SetUpgradeLock(1, 1)"}}));

using SmithyTrades = StateTable;
TEST_P(SmithyTrades, SellForOneOrFour) {
    ExpectCalls(SeaTick, "units Rinok(DA) 1\nunits Kuznica(DA) 1\nmoney 3 30001\n", {"AI_Torg("});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SmithyTrades,
    ::testing::Values(Case{"money 5 12001\nmoney 0 1\nmoney 1 3999\nmoney 4 8001\nmoney 2 20001\n",
                           {"AI_Torg(5, 1, 3000)", "AI_Torg(4, 1, 2000)", "AI_Torg(2, 1, 12000)",
                            "AI_Torg(3, 1, 15000)"}},
                      Case{"money 5 12001\nmoney 1 4001\nmoney 2 20001\n",
                           {"AI_Torg(5, 4, 3000)", "AI_Torg(2, 4, 12000)", "AI_Torg(3, 4, 15000)"}},
                      Case{"money 5 9001\nmoney 1 4000\nmoney 0 1\n", {}},
                      Case{"money 5 9000\nmoney 0 1\nmoney 1 1\nmoney 2 20001\n", {}},
                      Case{"upgrade KUZ03DA running\nmoney 5 12001\nmoney 0 1\nmoney 1 3999\n", {}}));

TEST(SeaRequests, DifficultyAboveZeroBringsCossacks) {
    for (const auto& [difficulty, n] : {std::pair{"0", 0u}, {"1", 1u}, {"-1", 0u}}) {
        EXPECT_EQ(Filter(SeaTick(std::string("difficulty ") + difficulty + "\n"),
                         "TryUnit(Kozak_loshad_DIP(DA), 15, 20, 40)")
                      .size(),
                  n)
            << difficulty;
    }
}

TEST(SeaRequests, PikeUpgradesNeedStockReadAtThatMoment) {
    const std::string army = "units Pikiner_evro(DA) 31\n";
    const auto enough = SeaTick(army + "then GetMoney(3) 1001 1651\n");
    EXPECT_GE(Filter(enough, "TryUpgrade(").size(), 12u);
    EXPECT_EQ(Filter(enough, "TryUpgrade(Officer_evro(DA)").size(), 2u);
    EXPECT_TRUE(
        Filter(SeaTick(army + "then GetMoney(3) 1001 1650\n"), "TryUpgrade(Pikiner_evro(DA)").empty());
    // No field and no more than 1000: the stock is not asked a second time.
    EXPECT_EQ(Filter(SeaTick(army + "money 3 1000\n"), "GetMoney(3)").size(), 1u);
    EXPECT_TRUE(
        Filter(SeaTick("units Pikiner_evro(DA) 30\nmoney 3 5000\n"), "TryUpgrade(Pikiner_evro(DA)").empty());
}

struct Opening {
    std::string scenario;  // state and "tick k" changes
    int ticks;
    std::vector<size_t> trades;   // opening trades per tick
    std::vector<size_t> nations;  // GetAINation calls per tick
};

void PrintTo(const Opening& c, std::ostream* os) { *os << c.scenario; }

class OpeningTrade : public ::testing::TestWithParam<Opening> {};

TEST_P(OpeningTrade, OncePerNationPerLoad) {
    const Opening& o = GetParam();
    FakeGame game(kMarket + o.scenario);
    game.Run(denmark::InitAI);
    std::vector<size_t> trades, nations;
    for (int k = 1; k <= o.ticks; ++k) {
        game.Tick(k);
        const auto t = game.Run(denmark::ProcessMiddleSeaAI);
        trades.push_back(Filter(t, "AI_Torg(5, 3, 4000)").size());
        nations.push_back(Filter(t, "GetAINation()").size());
    }
    EXPECT_EQ(trades, o.trades);
    EXPECT_EQ(nations, o.nations);
}

INSTANTIATE_TEST_SUITE_P(
    Nations, OpeningTrade,
    ::testing::Values(Opening{"nation 3\n", 2, {1, 0}, {2, 1}}, Opening{"nation 0\n", 2, {1, 0}, {2, 1}},
                      Opening{"nation 15\n", 2, {1, 0}, {2, 1}}, Opening{"nation 16\n", 2, {0, 0}, {1, 1}},
                      Opening{"nation -1\n", 2, {0, 0}, {1, 1}},
                      // Each nation its own entry.
                      Opening{"nation 3\ntick 2\nnation 4\ntick 3\nnation 3\n", 3, {1, 1, 0}, {2, 2, 1}},
                      // The nation read after the trade is the one recorded.
                      Opening{"nation 3\ntick 1\nthen GetAINation() 3 4\n", 3, {1, 1, 0}, {2, 2, 1}},
                      Opening{"nation 4\ntick 1\nthen GetAINation() 3 4\n", 2, {1, 0}, {2, 1}},
                      // A second read outside the table records nothing; the trade comes again.
                      Opening{"nation 3\ntick 1\nthen GetAINation() 3 16\n", 2, {1, 1}, {2, 2}}));

TEST(OpeningTrade, NotRepeatedInASecondGameOfTheSameLoad) {
    FakeGame game(kMarket + "nation 5\n");
    game.InitAI();
    EXPECT_EQ(Filter(game.Run(denmark::ProcessMiddleSeaAI), "AI_Torg(5, 3, 4000)").size(), 1u);
    game.InitAI();
    EXPECT_TRUE(Filter(game.Run(denmark::ProcessMiddleSeaAI), "AI_Torg(5, 3, 4000)").empty());
    EXPECT_EQ(denmark::OpeningTradeDone[5], 1);
}

TEST(OpeningTrade, ThroughTheTickAsThroughTheExport) {
    FakeGame game(kMarket + "land-type 1\nnation 7\n");
    game.InitAI();
    EXPECT_EQ(Filter(game.Run(denmark::ProcessAI), "AI_Torg(5, 3, 4000)").size(), 1u);
    EXPECT_TRUE(Filter(game.Run(denmark::ProcessMiddleSeaAI), "AI_Torg(5, 3, 4000)").empty());
}

}  // namespace
}  // namespace denmark_test
