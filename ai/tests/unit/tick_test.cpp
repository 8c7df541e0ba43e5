// ProcessAI: tick state, mine rules of the moment, dispatch by land type, formation leaders.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "fake_game.h"
#include "game.h"
#include "plugin.h"
#include "mine_tables.h"
#include "tick.h"

namespace denmark_test {
namespace {

std::string ReadScenario(const std::string& name) {
    std::ifstream in(std::string(AI_SCENARIO_DIR) + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The games of the Wine tests, played in process through the host's game loop against the
// same expected traces (less the two lines that only the Windows host writes: the scenario
// name and the plug-in load).
std::string PlayScenario(const std::string& name) {
    FakeGame game("");
    std::ostringstream out;
    zorm::HostSim host(zorm::ParseScenario(ReadScenario(name)), out);
    zorm::PluginEntries plugin;
    plugin.InitAI = &denmark::InitAI;
    plugin.ProcessAI = &denmark::ProcessAI;
    plugin.ProcessLandAI = &denmark::ProcessLandAI;
    plugin.ProcessMiddleSeaAI = &denmark::ProcessMiddleSeaAI;
    EXPECT_TRUE(zorm::PlayGame(host, plugin));
    return out.str();
}

std::string ExpectedGame(const std::string& name) {
    std::ifstream in(std::string(AI_SCENARIO_DIR) + "/../expected/" + name);
    std::string expected, line;
    while (std::getline(in, line))
        if (line.rfind("== scenario:", 0) != 0 && line != "== load plug-in") expected += line + "\n";
    return expected;
}

class LandTypeGame : public ::testing::TestWithParam<int> {};

TEST_P(LandTypeGame, TraceMatchesTheExpectedOne) {
    const std::string name = "land" + std::to_string(GetParam());
    EXPECT_EQ(PlayScenario(name + ".txt"), ExpectedGame(name + ".trace"));
}

INSTANTIATE_TEST_SUITE_P(ZeroToSix, LandTypeGame, ::testing::Range(0, 7));

TEST(PlayedGame, ThreeTicksOfAChangingGame) {
    EXPECT_EQ(PlayScenario("three-ticks.txt"), ExpectedGame("three-ticks.trace"));
}

TEST(PlayedGame, MiddleSeaCalledDirectly) {
    EXPECT_EQ(PlayScenario("middle-sea.txt"), ExpectedGame("middle-sea.trace"));
}

const char* const kRadii[] = {"SET_MINE_CAPTURE_RADIUS(290)", "SET_MINE_UPGRADE1_RADIUS(290)",
                              "SET_MINE_UPGRADE2_RADIUS(290)"};

struct Dispatch {
    int32_t land;
    int32_t startRes;
    bool landSettings;  // radii and MineBalanceLand
    bool richSettings;  // MineBalanceRich, light rules, rich building rules
    bool normalAgain;   // the normal balance sent a third time
};

class TickDispatch : public ::testing::TestWithParam<Dispatch> {};

TEST_P(TickDispatch, SettingsByLandTypeAndStartResources) {
    const Dispatch d = GetParam();
    const auto t =
        FakeGame("land-type " + std::to_string(d.land) + "\nstart-res " + std::to_string(d.startRes) + "\n")
            .Run(denmark::ProcessAI);
    EXPECT_EQ(Filter(t, "SET_MINE_").size(), d.landSettings ? 3u : 0u);
    EXPECT_EQ(Filter(t, "SetMineBalanse(19, [0:0 19:19 25:20 33:20").size(), d.landSettings ? 1u : 0u);
    EXPECT_EQ(Filter(t, "SetMineBalanse(3, ").size(), d.richSettings ? 1u : 0u);
    EXPECT_EQ(Filter(t, "SetMinesBuildingRules([0,0,0:1 1,0,0:1 2,0,0:1 3,0,0:1 4,0,0:1], 5)").size(),
              d.richSettings ? 1u : 0u);
    EXPECT_EQ(Filter(t, "SetMineBalanse(19, [0:0 15:15").size(), d.normalAgain ? 3u : 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TickDispatch,
    ::testing::Values(Dispatch{0, 0, false, false, true}, Dispatch{0, 3, false, true, false},
                      Dispatch{5, 2, false, false, true}, Dispatch{5, 3, false, true, false},
                      Dispatch{1, 3, false, false, false}, Dispatch{2, 3, true, false, false},
                      Dispatch{3, 0, true, false, false}, Dispatch{4, 1, true, false, false},
                      Dispatch{6, 3, false, false, false}, Dispatch{-1, 3, false, false, false},
                      Dispatch{INT32_MAX, 0, false, false, false}));

TEST(TickDispatch, LandTypesTwoToFourSendRadiiAndLandBalanceBeforeTheLandStrategy) {
    const auto t = FakeGame("land-type 3\nstart-res 1\n").Run(denmark::ProcessAI);
    const auto at = std::find(t.begin(), t.end(), kRadii[0]);
    ASSERT_LE(at + 5, t.end());
    EXPECT_EQ(at[1], kRadii[1]);
    EXPECT_EQ(at[2], kRadii[2]);
    EXPECT_EQ(at[3].substr(0, 35), "SetMineBalanse(19, [0:0 19:19 25:20");
    EXPECT_EQ(at[4], "SetDefSettings(300, 400)");
}

struct Leaders {
    int32_t land;
    int32_t pikemen;
    bool asked;  // the pikemen are counted (land types up to 1)
    int32_t n;   // leaders ordered; 0: no orders
};

class FormationLeaders : public ::testing::TestWithParam<Leaders> {};

TEST_P(FormationLeaders, OneLeaderPairPer36Pikemen) {
    const Leaders l = GetParam();
    FakeGame game("units Pikiner_evro(DA) " + std::to_string(l.pikemen) + "\n");
    game.Run(denmark::InitAI);
    denmark::LandType = l.land;
    const auto t = game.Run(denmark::TryFormationLeaders);
    if (!l.asked) {
        EXPECT_TRUE(t.empty());
        return;
    }
    std::vector<std::string> expected = {"GetUnits(Pikiner_evro(DA)) -> " + std::to_string(l.pikemen)};
    if (l.n != 0) {
        const std::string n = std::to_string(l.n);
        expected.push_back("TryUnit(Officer_evro(DA), " + n + ", 50, 50)");
        expected.push_back("TryUnit(Barabanshik_ev1(DA), " + n + ", 20, 50)");
    }
    EXPECT_EQ(t, expected);
}

// The leaders are the last requests of a tick, after the strategy's own.
TEST(FormationLeaders, FollowTheSeaStrategy) {
    const auto t = CallsAfterSetUp("land-type 1\nunits Pikiner_evro(DA) 72\nunits Kreposnoi_pruss(DA) 0\n",
                                   denmark::ProcessAI);
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(t[t.size() - 3], "GetUnits(Pikiner_evro(DA)) -> 72");
    EXPECT_EQ(t[t.size() - 2], "TryUnit(Officer_evro(DA), 2, 50, 50)");
    EXPECT_EQ(t[t.size() - 1], "TryUnit(Barabanshik_ev1(DA), 2, 20, 50)");
}

INSTANTIATE_TEST_SUITE_P(Cases, FormationLeaders,
                         ::testing::Values(Leaders{0, 35, true, 0}, Leaders{0, 36, true, 1},
                                           Leaders{0, 71, true, 1}, Leaders{0, 72, true, 2},
                                           Leaders{1, 72, true, 2}, Leaders{-3, 108, true, 3},
                                           Leaders{0, -35, true, 0}, Leaders{0, -36, true, -1},
                                           Leaders{2, 72, false, 0}, Leaders{5, 720, false, 0},
                                           Leaders{0, INT32_MIN, true, -59652323}));

TEST(TickState, FreePeasantsSubtractsExtractionOfResourcesOneFourAndFive) {
    FakeGame game(
        "units Kreposnoi_pruss(DA) 40\nextraction 0 100\nextraction 1 5\n"
        "extraction 2 100\nextraction 3 100\nextraction 4 3\nextraction 5 2\n"
        "nation 7\nland-type 6\nstart-res 2\n");
    game.InitAI();
    game.ProcessAI();
    EXPECT_EQ(denmark::FreePeasants, 30);
    EXPECT_EQ(denmark::AINation, 7);
    EXPECT_EQ(denmark::LandType, 6);
    EXPECT_EQ(denmark::StartRes, 2);
}

TEST(TickState, FreePeasantsWrapsLikeThe32BitCpu) {
    FakeGame game("units Kreposnoi_pruss(DA) -2147483648\nextraction 1 1\n");
    game.InitAI();
    game.ProcessAI();
    EXPECT_EQ(denmark::FreePeasants, INT32_MAX);
}

TEST(TickState, StartResourcesZeroRaisesTheFirstBuildingRuleForGood) {
    FakeGame game("land-type 2\nstart-res 0\ntick 2\nstart-res 1\ntick 3\nstart-res 2\n");
    game.InitAI();
    ASSERT_EQ(denmark::MineBuildingRulesNormal[0].count, 1);
    game.ProcessAI();
    EXPECT_EQ(denmark::MineBuildingRulesNormal[0].count, 4);
    game.Take();
    for (int k = 2; k <= 3; ++k) {
        game.host().Tick(k);
        for (const auto& line : Filter(game.Run(denmark::ProcessAI), "SetMinesBuildingRules(["))
            EXPECT_EQ(line.substr(0, 30), "SetMinesBuildingRules([0,0,0:4") << "tick " << k;
    }
}

TEST(TickState, OtherStartResourcesLeaveTheFirstBuildingRuleAlone) {
    for (const char* sr : {"1", "2", "3", "-1"}) {
        FakeGame game(std::string("land-type 0\nstart-res ") + sr + "\n");
        game.ProcessAI();
        EXPECT_EQ(denmark::MineBuildingRulesNormal[0].count, 1) << "start resources " << sr;
    }
}

struct UpgradeRules {
    const char* upgrades;  // scenario lines
    int32_t land;
    std::vector<std::string> reads;  // UpgIsRun calls in order
    const char* chosen;              // the rules sent after the first zero rules, or nullptr
};

const char kZero[] = "SetMinesUpgradeRules([0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0])";
const char kLight[] = "SetMinesUpgradeRules([90 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0 0])";
const char kFull[] =
    "SetMinesUpgradeRules([90 80 70 25 20 15 25 20 15 90 50 30 25 20 15 25 20 15 90 90 90 30 30 "
    "30 30 30 30])";

class MineUpgradeChoice : public ::testing::TestWithParam<UpgradeRules> {};

TEST_P(MineUpgradeChoice, ReadsInOrderAndStopsAtTheFirstMatch) {
    const UpgradeRules& c = GetParam();
    const auto t = CallsAfterSetUp(std::string(c.upgrades) + "\nland-type " + std::to_string(c.land) + "\n",
                                   denmark::ProcessAI);
    // Everything between the second normal balance and the building rules is the choice.
    auto from = std::find_if(t.begin() + 12, t.end(), [](const std::string& l) { return l == kZero; });
    ASSERT_NE(from, t.end());
    auto to = std::find_if(from, t.end(),
                           [](const std::string& l) { return l.rfind("SetMinesBuildingRules(", 0) == 0; });
    std::vector<std::string> choice(from + 1, to);
    Lines expected = c.reads;
    if (c.chosen) expected.push_back(c.chosen);
    EXPECT_EQ(choice, expected);
}

const std::string A4 = "UpgIsRun(Pikiner_evro(DA)ATTACK4) -> ";
const std::string S4 = "UpgIsRun(Pikiner_evro(DA)SHIELD4) -> ";
const std::string K8 = "UpgIsRun(AKA08DA) -> ";
const std::string K24 = "UpgIsRun(AKA24DA) -> ";

INSTANTIATE_TEST_SUITE_P(
    Cases, MineUpgradeChoice,
    ::testing::Values(
        UpgradeRules{"upgrade Pikiner_evro(DA)ATTACK4 running\nupgrade Pikiner_evro(DA)SHIELD4 done",
                     0,
                     {A4 + "true", S4 + "true"},
                     kLight},
        UpgradeRules{"upgrade Pikiner_evro(DA)ATTACK4 running", 3, {A4 + "true", S4 + "false"}, kFull},
        UpgradeRules{"", 2, {A4 + "false"}, kFull},
        UpgradeRules{"upgrade AKA08DA running", 0, {A4 + "false", K8 + "true", K24 + "false"}, kZero},
        UpgradeRules{"upgrade AKA08DA running\nupgrade AKA24DA running",
                     1,
                     {A4 + "false", K8 + "true", K24 + "true", K24 + "true"},
                     kFull},
        UpgradeRules{"upgrade AKA24DA done", 5, {A4 + "false", K8 + "false", K24 + "true"}, kFull},
        UpgradeRules{"", 0, {A4 + "false", K8 + "false", K24 + "false"}, nullptr},
        UpgradeRules{"upgrade Pikiner_evro(DA)SHIELD4 running",
                     6,
                     {A4 + "false", K8 + "false", K24 + "false"},
                     nullptr}));

}  // namespace
}  // namespace denmark_test
