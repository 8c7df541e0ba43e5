// The land strategy: gauges, economy branches, locks, army and trading, each case against
// the calls worked out by hand for its state.
#include <gtest/gtest.h>

#include "fake_game.h"
#include "strategies.h"

namespace denmark_test {
namespace {

using Case = StateCase;

// Peasants and a mill, so that the whole routine runs; the cavalry drawn is "Dragun(DA)".
const std::string kBase = "random 2\nunits Kreposnoi_pruss(DA) 30\nunits Melnica(DA) 1\n";

// One land tick after set-up; only the routine's own calls.
Lines LandTick(const std::string& state) { return CallsAfterSetUp(kBase + state, denmark::LandAI); }

using Ships = StateTable;
TEST_P(Ships, GalleysAndFrigatesFollowTheGauges) {
    ExpectCalls(LandTick, "", {"TryUnit(GALERA(DA)", "TryUnit(Fregat(DA)"});
}

INSTANTIATE_TEST_SUITE_P(
    Gauges, Ships,
    ::testing::Values(
        Case{"usage 27 4\n", {"TryUnit(GALERA(DA), 5, 70, 50)", "TryUnit(Fregat(DA), 12, 70, 50)"}},
        Case{"usage 27 5\n", {"TryUnit(GALERA(DA), 7, 70, 50)", "TryUnit(Fregat(DA), 12, 70, 50)"}},
        Case{"usage 28 19\n", {"TryUnit(GALERA(DA), 5, 70, 50)", "TryUnit(Fregat(DA), 12, 70, 50)"}},
        Case{"usage 28 20\n",
             {"TryUnit(GALERA(DA), 5, 70, 50)", "TryUnit(Fregat(DA), 11, 30, 50)",
              "TryUnit(Fregat(DA), 14, 15, 50)", "TryUnit(Fregat(DA), 15, 10, 50)"}},
        Case{"usage 25 1\nusage 14 1\n",
             {"TryUnit(GALERA(DA), 5, 70, 50)", "TryUnit(Fregat(DA), 11, 30, 50)",
              "TryUnit(Fregat(DA), 14, 15, 50)", "TryUnit(Fregat(DA), 15, 10, 50)"}},
        // -7 / 4 truncates to -1: gauge -1 + 3 + 4 = 6.
        Case{"usage 27 -3\nusage 28 -7\nusage 25 3\nusage 14 1\n",
             {"TryUnit(GALERA(DA), 5, 70, 50)", "TryUnit(Fregat(DA), 12, 30, 50)",
              "TryUnit(Fregat(DA), 15, 15, 50)", "TryUnit(Fregat(DA), 16, 10, 50)"}}));

using FieldDistribution = StateTable;
TEST_P(FieldDistribution, TripleByAcademyAndStockOfThree) {
    ExpectCalls(LandTick, "field yes\n", {"SetPDistribution"});
}

INSTANTIATE_TEST_SUITE_P(
    Thresholds, FieldDistribution,
    ::testing::Values(Case{"upgrade AKA30DA done\nmoney 3 12001\n", {"SetPDistribution(9, 8, 6)"}},
                      Case{"upgrade AKA30DA done\nmoney 3 12000\n", {"SetPDistribution(9, 5, 3)"}},
                      Case{"upgrade AKA30DA done\nmoney 3 6001\n", {"SetPDistribution(9, 5, 3)"}},
                      Case{"upgrade AKA30DA done\nmoney 3 6000\n", {"SetPDistribution(9, 4, 1)"}},
                      Case{"upgrade AKA30DA running\nmoney 3 12001\n", {"SetPDistribution(9, 8, 8)"}},
                      Case{"money 3 12000\n", {"SetPDistribution(9, 5, 5)"}},
                      Case{"money 3 6001\n", {"SetPDistribution(9, 5, 5)"}},
                      Case{"money 3 6000\n", {"SetPDistribution(10, 4, 4)"}},
                      Case{"field no\nmoney 3 20000\n", {"SetPDistribution(0, 1, 1)"}}));

struct Economy {
    std::string state;
    Lines peasants;
    Lines pikemen;
    int pikeUpgrades;
};

void PrintTo(const Economy& c, std::ostream* os) { *os << c.state; }

class PeasantsAndPikemen : public ::testing::TestWithParam<Economy> {};

TEST_P(PeasantsAndPikemen, RequestsByStockPeasantsAndField) {
    const auto t = LandTick(GetParam().state);
    EXPECT_EQ(Filter(t, "TryUnit(Kreposnoi_pruss(DA)"), GetParam().peasants);
    EXPECT_EQ(Filter(t, "TryUnit(Pikiner_evro(DA)"), GetParam().pikemen);
    EXPECT_EQ(Filter(t, "TryUpgrade(Pikiner_evro(DA)").size(), size_t(GetParam().pikeUpgrades));
}

const std::string kFirst = "TryUnit(Kreposnoi_pruss(DA), 100, 100, 100)";
const std::string kDriven = "TryUnit(Kreposnoi_pruss(DA), 1000, 232, 100)";
const std::string kPikes350 = "TryUnit(Pikiner_evro(DA), 350, 100, 30)";
const std::string kRich = "money 3 55001\nmoney 1 10001\nmoney 4 7001\n";
const std::string kPikeSetReady = "upgrade AKA08DA done\nunits PorE(DA) 1\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, PeasantsAndPikemen,
    ::testing::Values(
        // Without a field: only above 700, and never the pike upgrades.
        Economy{"money 3 700\n" + kPikeSetReady, {}, {}, 0},
        Economy{"money 3 701\n" + kPikeSetReady, {kFirst}, {"TryUnit(Pikiner_evro(DA), 100, 100, 100)"}, 0},
        // With a field.
        Economy{"field yes\nunits Kreposnoi_pruss(DA) 24\nmoney 3 301\n", {kFirst, kDriven}, {kPikes350}, 0},
        Economy{"field yes\nunits Kreposnoi_pruss(DA) 25\nmoney 3 301\n", {kDriven}, {kPikes350}, 0},
        Economy{"field yes\nunits Kreposnoi_pruss(DA) 24\nmoney 3 300\n", {kDriven}, {}, 0},
        Economy{"field yes\nmoney 3 200\n", {}, {}, 0},
        Economy{"field yes\nupgrade KUZ03DA running\nmoney 3 301\n",
                {kDriven},
                {"TryUnit(Pikiner_evro(DA), 300, 100, 30)"},
                0},
        // Peasants are not driven while 3, 1 and 4 are all high and "MAINDA" is not done.
        Economy{"field yes\n" + kRich, {}, {kPikes350}, 0},
        Economy{("field yes\n" + kRich + "money 4 7000\n"), {kDriven}, {kPikes350}, 0},
        Economy{("field yes\n" + kRich + "money 1 10000\n"), {kDriven}, {kPikes350}, 0},
        Economy{("field yes\n" + kRich + "upgrade MAINDA done\n"), {kDriven}, {kPikes350}, 0},
        // The pike set: "AKA08DA" done, more than 1000 of 3 and a port.
        Economy{("field yes\nmoney 3 1001\n" + kPikeSetReady), {kDriven}, {kPikes350}, 10},
        Economy{("field yes\nmoney 3 1000\n" + kPikeSetReady), {kDriven}, {kPikes350}, 0},
        Economy{"field yes\nmoney 3 1001\nupgrade AKA08DA running\nunits PorE(DA) 1\n",
                {kDriven},
                {kPikes350},
                0},
        Economy{"field yes\nmoney 3 1001\nupgrade AKA08DA done\n", {kDriven}, {kPikes350}, 0}));

TEST(LandBuildings, OneAcademyCountGuardsMarketAndChurch) {
    const auto with = LandTick("units akademia_E(DA) 1\n");
    EXPECT_EQ(Filter(with, "GetUnits(akademia_E(DA))").size(), 1u);
    EXPECT_EQ(Filter(with, "TryUnit(Rinok(DA)"), Lines{"TryUnit(Rinok(DA), 1, 90, 25)"});
    EXPECT_EQ(Filter(with, "TryUnit(Cercov_Poland(DA)"), Lines{"TryUnit(Cercov_Poland(DA), 1, 5, 3)"});
    const auto without = LandTick("");
    EXPECT_EQ(Filter(without, "GetUnits(akademia_E(DA))").size(), 1u);
    EXPECT_TRUE(Filter(without, "TryUnit(Rinok(DA)").empty());
    EXPECT_TRUE(Filter(without, "TryUnit(Cercov_Poland(DA)").empty());
}

TEST(LandBuildings, BuildingsInProgressHoldBackThirdHouseAndEmbassy) {
    // One unfinished port is enough.
    const auto busy = LandTick("units PorE(DA) 2 1\n");
    EXPECT_TRUE(Filter(busy, "TryUnit(Europ(DA), 3,").empty());
    EXPECT_TRUE(Filter(busy, "TryUnit(Dip_korpus(DA)").empty());
    const auto idle = LandTick("units PorE(DA) 2\n");
    EXPECT_EQ(Filter(idle, "TryUnit(Europ(DA), 3,"), Lines{"TryUnit(Europ(DA), 3, 95, 5)"});
    EXPECT_EQ(Filter(idle, "TryUnit(Dip_korpus(DA)"), Lines{"TryUnit(Dip_korpus(DA), 1, 99, 10)"});
}

class Battleships : public ::testing::TestWithParam<int> {};

TEST_P(Battleships, OnlyAtMineLevel95) {
    const auto t = LandTick("max-peasants-in-mines " + std::to_string(GetParam()) + "\n");
    const Lines expected = GetParam() != 95
                               ? Lines{}
                               : Lines{"TryUnit(Linkor(DA), 1, 50, 30)", "TryUnit(Linkor(DA), 2, 30, 30)",
                                       "TryUnit(Linkor(DA), 3, 20, 30)", "TryUnit(Linkor(DA), 5, 10, 30)"};
    EXPECT_EQ(Filter(t, "TryUnit(Linkor(DA)"), expected);
    EXPECT_EQ(Filter(t, "TryUpgrade(AKA29DA").size(), GetParam() == 95 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Levels, Battleships, ::testing::Values(94, 95, 96, -95, 0));

struct Lock {
    const char* state;
    size_t locks;  // SetUpgradeLock(1, 1) calls
};

void PrintTo(const Lock& c, std::ostream* os) { *os << c.state; }

class UpgradeLock : public ::testing::TestWithParam<Lock> {};

TEST_P(UpgradeLock, LockedByTheRulesThatHold) {
    const auto t = LandTick(GetParam().state);
    EXPECT_EQ(Filter(t, "SetUpgradeLock(1, 0)").size(), 1u);
    EXPECT_EQ(Filter(t, "SetUpgradeLock(1, 1)").size(), GetParam().locks);
}

#define LATE "upgrade AKA06DA running\nupgrade AKA07DA running\nupgrade KUZ03DA done\n"
#define MAIN LATE "upgrade MAINDA done\n"
INSTANTIATE_TEST_SUITE_P(
    Rules, UpgradeLock,
    ::testing::Values(
        Lock{"money 0 14001\nupgrade AKA30DA running\nmoney 1 7499\n", 1},
        Lock{"money 0 14000\nupgrade AKA30DA running\nmoney 1 7499\n", 0},
        Lock{"money 0 14001\nupgrade AKA30DA running\nmoney 1 7500\n", 0},
        Lock{"money 0 14001\nmoney 1 7499\n", 0},
        Lock{LATE "max-peasants-in-mines 10\nmoney 3 50001\nmoney 1 8199\n", 1},
        Lock{LATE "max-peasants-in-mines 18\nmoney 3 50001\nmoney 1 8199\n", 1},
        Lock{LATE "max-peasants-in-mines 18\nmoney 3 50001\nmoney 1 8200\n", 0},
        Lock{LATE "max-peasants-in-mines 10\nmoney 3 50000\nmoney 1 8199\n", 0},
        Lock{LATE "max-peasants-in-mines 12\nmoney 3 50001\nmoney 1 8199\n", 0},
        Lock{LATE "money 3 60001\nmoney 1 10999\n", 1},
        Lock{LATE "max-peasants-in-mines 10\nmoney 3 60001\nmoney 1 8000\n", 2},
        Lock{LATE "money 3 60001\nmoney 1 10999\nupgrade MAINDA running\n", 0},
        Lock{MAIN "max-peasants-in-mines 28\nmoney 3 50001\nmoney 4 7301\nmoney 1 19999\n", 1},
        Lock{MAIN "max-peasants-in-mines 28\nmoney 3 50001\nmoney 4 7300\nmoney 1 19999\n", 0},
        Lock{MAIN "max-peasants-in-mines 40\nmoney 3 50001\nmoney 4 9801\nmoney 1 23999\n", 1},
        Lock{MAIN "max-peasants-in-mines 40\nmoney 3 50001\nmoney 4 9800\nmoney 1 23999\n", 0},
        Lock{MAIN "max-peasants-in-mines 55\nmoney 3 80001\nmoney 1 25999\n", 1},
        Lock{MAIN "max-peasants-in-mines 55\nmoney 3 80000\nmoney 1 25999\n", 0},
        Lock{"upgrade AKA06DA running\nupgrade KUZ03DA done\nmax-peasants-in-mines 10\nmoney 3 50001\n", 0}));
#undef MAIN
#undef LATE

struct Army {
    std::string state;
    Lines musketeers;
    size_t upgrades;
};

void PrintTo(const Army& c, std::ostream* os) { *os << c.state; }

class Musketeers : public ::testing::TestWithParam<Army> {};

TEST_P(Musketeers, WantedWhileFewBesideALargeArmy) {
    const auto t = LandTick(GetParam().state);
    EXPECT_EQ(Filter(t, "TryUnit(Mushketer_ev(DA)"), GetParam().musketeers);
    EXPECT_EQ(Filter(t, "TryUpgrade(Mushketer_ev(DA)").size(), GetParam().upgrades);
}

// Army 301: musketeers are wanted while 5 x musketeers < 251.
const std::string kBarracks = "units Kazarma_evro(DA) 2\n";
const std::string kMusketeers = "TryUnit(Mushketer_ev(DA), 500, 10, 10)";

INSTANTIATE_TEST_SUITE_P(
    Counts, Musketeers,
    ::testing::Values(
        Army{kBarracks + "units Pikiner_evro(DA) 301\nunits Mushketer_ev(DA) 50\n", {kMusketeers}, 5},
        Army{kBarracks + "units Pikiner_evro(DA) 301\nunits Mushketer_ev(DA) 51\n", {}, 5},
        Army{kBarracks + "units Pikiner_evro(DA) 200\nunits Kirasir(DA) 50\nunits Dragun(DA) 51\n",
             {kMusketeers},
             5},
        Army{kBarracks + "units Pikiner_evro(DA) 300\n", {}, 0},
        Army{"units Kazarma_evro(DA) 1\nunits Pikiner_evro(DA) 400\n", {}, 0}));

using Towers = StateTable;
TEST_P(Towers, ByPeasantsOnceAllTowersStand) { ExpectCalls(LandTick, "", {"TryUnit(Bashnia(DA)"}); }

INSTANTIATE_TEST_SUITE_P(
    Peasants, Towers,
    ::testing::Values(Case{"units Kreposnoi_pruss(DA) 80\n", {}},
                      Case{"units Kreposnoi_pruss(DA) 81\n", {"TryUnit(Bashnia(DA), 1, 80, 10)"}},
                      Case{"units Kreposnoi_pruss(DA) 95\nunits Bashnia(DA) 3\n",
                           {"TryUnit(Bashnia(DA), 1, 80, 10)"}},
                      Case{"units Kreposnoi_pruss(DA) 96\n",
                           {"TryUnit(Bashnia(DA), 1, 80, 10)", "TryUnit(Bashnia(DA), 2, 80, 10)",
                            "TryUnit(Bashnia(DA), 3, 50, 10)", "TryUnit(Bashnia(DA), 4, 30, 10)"}},
                      Case{"units Kreposnoi_pruss(DA) 96\nunits Bashnia(DA) 2 1\n", {}}));

using Trading = StateTable;
TEST_P(Trading, TradesAtAFinishedMarket) {
    ExpectCalls(LandTick, "units Rinok(DA) 1\nmoney 3 1000\n", {"AI_Torg("});
}

#define RESEARCHED "upgrade KUZ02DA done\nupgrade AKA09DA done\n"
INSTANTIATE_TEST_SUITE_P(
    Branches, Trading,
    ::testing::Values(
        Case{"units Rinok(DA) 1 0\nmoney 0 200000\nmoney 3 0\nmoney 2 6000\n", {}},
        Case{"units akademia_E(DA) 1\nmoney 1 801\nmoney 3 5999\nmoney 4 3001\n", {"AI_Torg(4, 3, 3000)"}},
        Case{"units akademia_E(DA) 1\nmoney 1 800\nmoney 3 5999\nmoney 4 3001\n", {}},
        Case{"units akademia_E(DA) 1\nupgrade AKA08DA running\nmoney 1 801\nmoney 3 5999\nmoney 4 3001\n",
             {}},
        Case{"money 3 999\nmoney 2 5001\n", {"AI_Torg(2, 3, 4000)"}},
        Case{"money 3 1000\nmoney 2 5001\n", {}}, Case{"money 2 110001\n", {"AI_Torg(2, 1, 90000)"}},
        Case{RESEARCHED "money 2 110001\n", {"AI_Torg(2, 1, 100000)"}},
        // Equal stocks of 4 and 5: 4 is bought first.
        Case{RESEARCHED "money 0 1\nmoney 1 1\nmoney 4 3000\nmoney 5 3000\n",
             {"AI_Torg(2, 4, 25000)", "AI_Torg(2, 5, 25000)"}},
        Case{RESEARCHED "money 0 1\nmoney 1 1\nmoney 4 3000\nmoney 5 2999\n",
             {"AI_Torg(2, 5, 25000)", "AI_Torg(2, 4, 25000)"}},
        Case{RESEARCHED "money 0 1\nmoney 4 3000\nmoney 5 4999\n",
             {"AI_Torg(2, 5, 50000)", "AI_Torg(2, 5, 50000)"}},
        // The shortage of 5 is tested again before the second purchase.
        Case{RESEARCHED "money 0 1\nthen GetMoney(5) 4999 5000\n", {"AI_Torg(2, 5, 50000)"}},
        Case{RESEARCHED "money 0 1\nmoney 5 5000\n", {}},
        Case{"money 0 150001\nmoney 4 80001\nmoney 5 80001\n",
             {"AI_Torg(0, 1, 100000)", "AI_Torg(4, 1, 40000)", "AI_Torg(5, 1, 40000)"}},
        Case{"money 0 150000\nmoney 4 80000\nmoney 5 80000\n", {}}));
#undef RESEARCHED

TEST(LandReads, MusketeerCountIsReadAgainForTheAcademy) {
    const std::string late = "upgrade KUZ03DA running\nupgrade AKA08DA done\n";
    EXPECT_EQ(Filter(LandTick(late + "then GetUnits(Mushketer_ev(DA)) 0 21\n"), "TryUpgrade(AKA31DA"),
              Lines{"TryUpgrade(AKA31DA, 90, 100)"});
    EXPECT_TRUE(
        Filter(LandTick(late + "then GetUnits(Mushketer_ev(DA)) 30 20\n"), "TryUpgrade(AKA31DA").empty());
}

TEST(LandReads, WithoutPeasantsOnlyTheLateStepsRun) {
    const auto t = LandTick("units Kreposnoi_pruss(DA) 0\nupgrade KUZ03DA running\n");
    EXPECT_TRUE(Filter(t, "TryUnit(Melnica(DA)").empty());
    EXPECT_TRUE(Filter(t, "TryUnit(GALERA(DA)").empty());
    ASSERT_GE(t.size(), 7u);
    const Lines tail(t.end() - 7, t.end());
    EXPECT_EQ(tail, (Lines{"GetReadyUnits(Bashnia(DA)) -> 0", "TryUpgrade(AKA34DA, 95, 90)",
                           "TryUpgrade(KUZ06DA, 95, 90)", "TryUpgrade(KUZ05DA, 95, 90)",
                           "TryUnit(Kazarma_evro(DA), 2, 95, 90)", "UpgIsRun(AKA30DA) -> false",
                           "GetReadyUnits(Rinok(DA)) -> 0"}));
}

}  // namespace
}  // namespace denmark_test
