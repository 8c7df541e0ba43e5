// InitAI: registrations in order, the cavalry draw, JoinName, the economy settings.
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_game.h"
#include "handles.h"
#include "plugin.h"

namespace denmark_test {
namespace {

Lines RunInit(const std::string& scenario) { return FakeGame(scenario).Run(denmark::InitAI); }

TEST(InitAI, WholeCallSequenceMatchesTheExpectedTrace) {
    // The first 212 lines of the land-type-0 trace are the set-up with a dragoon draw.
    auto expected = ReadExpected("land0.trace");
    expected.resize(212);
    EXPECT_EQ(RunInit("nation 2\nrandom 2\n"), expected);
}

TEST(InitAI, ThirtyEightUnitTypesInOrder) {
    const std::vector<std::string> names = {"Dragun(DA)",
                                            "Dragun_18(DA)",
                                            "Sveshenik_evro(DA)",
                                            "Dragun_18_DIP(DA)",
                                            "Strelec_Algir_DIP(DA)",
                                            "Kozak_loshad_DIP(DA)",
                                            "Officer_evro(DA)",
                                            "Barabanshik_ev1(DA)",
                                            "Pikiner_evro(DA)",
                                            "Kreposnoi_pruss(DA)",
                                            "Grenader_DIP(DA)",
                                            "Mushketer_ev(DA)",
                                            "Konni_Ricar(DA)",
                                            "Kirasir(DA)",
                                            "Grenader(DA)",
                                            "Pushka(DA)",
                                            "Mortira(DA)",
                                            "Mortira_b(DA)",
                                            "Lodka(DA)",
                                            "Europ(DA)",
                                            "Melnica(DA)",
                                            "Kazarma_evro(DA)",
                                            "Kazarma(DA)",
                                            "Sclad1(DA)",
                                            "akademia_E(DA)",
                                            "Konushnia_Swesair(DA)",
                                            "Dip_korpus(DA)",
                                            "artileri_depo(DA)",
                                            "Rinok(DA)",
                                            "Bashnia(DA)",
                                            "Kuznica(DA)",
                                            "Cercov_Poland(DA)",
                                            "PorE(DA)",
                                            "Fregat(DA)",
                                            "GALERA(DA)",
                                            "Linkor(DA)",
                                            "Yahta(DA)",
                                            "PERES_KOR(DA)"};
    std::vector<std::string> expected;
    for (const auto& n : names) expected.push_back("RegisterUnitType(\"" + n + "\")");
    EXPECT_EQ(Filter(RunInit("random 0\n"), "RegisterUnitType("), expected);
}

TEST(InitAI, CallCounts) {
    const auto trace = RunInit("random 5\n");
    const auto upgrades = Filter(trace, "RegisterUpgrade(");
    EXPECT_EQ(upgrades.size(), 130u);
    std::vector<std::string> distinct = upgrades;
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    EXPECT_EQ(distinct.size(), 106u);
    EXPECT_EQ(Filter(trace, "SafeRegisterUpgrade(").size(), 24u);
    EXPECT_EQ(Filter(trace, "GetAINation()").size(), 1u);
    EXPECT_EQ(Filter(trace, "GetRandomIndex()").size(), 1u);
}

struct Draw {
    int32_t random;
    const char* cavalry;
};

class CavalryDraw : public ::testing::TestWithParam<Draw> {};

TEST_P(CavalryDraw, BitsOneAndTwoPickTheCavalry) {
    const Draw d = GetParam();
    const auto trace = RunInit("random " + std::to_string(d.random) + "\n");
    const auto units = Filter(trace, "RegisterUnitType(");
    ASSERT_EQ(units.size(), 38u);
    EXPECT_EQ(units[12], std::string("RegisterUnitType(\"") + d.cavalry + "\")");
    const auto safe = Filter(trace, "SafeRegisterUpgrade(");
    ASSERT_EQ(safe.size(), 24u);
    const char* suffixes[] = {"ATTACK", "ATTACK3", "ATTACK4", "ATTACK5", "ATTACK6", "ATTACK7",
                              "SHIELD", "SHIELD3", "SHIELD4", "SHIELD5", "SHIELD6", "SHIELD7"};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(safe[i], std::string("SafeRegisterUpgrade(\"") + d.cavalry + suffixes[i] + "\")");
        EXPECT_EQ(safe[12 + i], std::string("SafeRegisterUpgrade(\"Grenader(DA)") + suffixes[i] + "\")");
    }
}

INSTANTIATE_TEST_SUITE_P(ZeroToEleven, CavalryDraw,
                         ::testing::Values(Draw{0, "Konni_Ricar(DA)"}, Draw{1, "Konni_Ricar(DA)"},
                                           Draw{2, "Dragun(DA)"}, Draw{3, "Dragun(DA)"},
                                           Draw{4, "Konni_Ricar(DA)"}, Draw{5, "Konni_Ricar(DA)"},
                                           Draw{6, "Konni_Ricar(DA)"}, Draw{7, "Konni_Ricar(DA)"},
                                           Draw{8, "Konni_Ricar(DA)"}, Draw{9, "Konni_Ricar(DA)"},
                                           Draw{10, "Dragun(DA)"}, Draw{11, "Dragun(DA)"},
                                           Draw{-6, "Dragun(DA)"}, Draw{INT32_MIN, "Konni_Ricar(DA)"}));

TEST(InitAI, DragoonDrawRegistersDragoonTwiceAndEachUpgradeThreeTimes) {
    const auto trace = RunInit("random 2\n");
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "RegisterUnitType(\"Dragun(DA)\")"), 2);
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "RegisterUpgrade(\"Dragun(DA)SHIELD5\")"), 2);
    EXPECT_EQ(std::count(trace.begin(), trace.end(), "SafeRegisterUpgrade(\"Dragun(DA)SHIELD5\")"), 1);
}

TEST(InitAI, KonniNamesAppearOnlyInTheSafeRegistrations) {
    const auto trace = RunInit("random 0\n");
    int konni = 0;
    for (const auto& l : trace)
        if (l.find("Konni_Ricar(DA)") != std::string::npos) ++konni;
    EXPECT_EQ(konni, 1 + 12);  // the unit type and its twelve upgrades
}

TEST(InitAI, ASecondGameDrawsTheCavalryAgainIntoTheSameHandles) {
    FakeGame game(
        "random 2\nunits Konni_Ricar(DA) 7\nunits Dragun(DA) 3\nland-type 1\n"
        "tick 1\nrandom 4\n");
    game.InitAI();
    game.host().Tick(1);
    const auto second = game.Run(denmark::InitAI);
    EXPECT_EQ(Filter(second, "RegisterUnitType(")[12 + 38], "RegisterUnitType(\"Konni_Ricar(DA)\")");
    // The chosen-cavalry handle now answers as the other type; the dragoon's own does not move.
    EXPECT_EQ(game.host().NameOf(&denmark::Units.ChosenCavalry), "Konni_Ricar(DA)");
    EXPECT_EQ(game.host().NameOf(&denmark::Units.Dragun), "Dragun(DA)");
    EXPECT_EQ(game.host().NameOf(&denmark::Upgrades.ChosenCavalry[denmark::kShield7]),
              "Konni_Ricar(DA)SHIELD7");
}

}  // namespace
}  // namespace denmark_test
