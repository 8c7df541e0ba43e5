// The inland strategy (land types 0 and 5): order of its modules in the normal and the rich
// variant, and each module's requests, reads and early stops. Expected calls are written out
// from what each module must do; the test host answers from the scenario text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <vector>

#include "fake_game.h"
#include "handles.h"
#include "plugin.h"
#include "strategies.h"
#include "tick.h"

namespace denmark_test {
namespace {

// Nation 2 (DIP-quota register 10, opening-trade register 2); GetRandomIndex 2 picks
// "Dragun(DA)" as the cavalry unless the scenario says otherwise.
const char* const kStart = "nation 2\nrandom 2\n";

// Runs one module after set-up with the tick state a tick of `nation` would have.
Lines RunModule(void (*module)(), const std::string& scenario, GameOptions options = {},
                int32_t freePeasants = 0, int32_t nation = 2) {
    FakeGame game(kStart + scenario, options);
    game.Run(denmark::InitAI);
    denmark::LandType = 0;
    denmark::AINation = nation;
    denmark::FreePeasants = freePeasants;
    return game.Run(module);
}

// Whether `markers` occur in `lines` in this order (other lines may come between).
bool InOrder(const Lines& lines, const Lines& markers) {
    auto at = lines.begin();
    for (const std::string& m : markers) {
        at = std::find(at, lines.end(), m);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

// ---------------------------------------------------------------------------------------
// Module order of a whole tick.

struct Variant {
    const char* name;
    int32_t land, startRes;
    Lines markers;                // one characteristic call of each module, in module order
    Lines absent;                 // calls of modules the variant does not run
    std::size_t mineRuleChoices;  // ChooseMineUpgradeRules runs (counted by its first read)
};
void PrintTo(const Variant& row, std::ostream* os) { *os << row.name; }

class InlandModuleOrder : public ::testing::TestWithParam<Variant> {};

TEST_P(InlandModuleOrder, ModulesRunInTheirOrder) {
    const Variant& v = GetParam();
    const Lines t = CallsAfterSetUp(std::string(kStart) + "land-type " + std::to_string(v.land) +
                                        "\nstart-res " + std::to_string(v.startRes) + "\n",
                                    denmark::ProcessAI);
    EXPECT_TRUE(InOrder(t, v.markers));
    for (const std::string& a : v.absent) EXPECT_EQ(CountOf(t, a), 0u) << a;
    EXPECT_EQ(CountOf(t, "UpgIsRun(Pikiner_evro(DA)ATTACK4) -> false"), v.mineRuleChoices);
}

const Lines kNormalMarkers = {
    "SetDefenseState(1)",                          // NormalDefence
    "GetUnits(Strelec_Algir_DIP(DA)) -> 0",        // NormalArmy
    "TryUnit(Mortira_b(DA), 60, 80, 100)",         // ArtilleryModule
    "GetReadyUnits(Bashnia(DA)) -> 0",             // TowerModule (peace time left 0)
    "TryUnit(Kazarma(DA), 3, 100, 100)",           // NormalBuildOrder
    "TryUpgrade(Melnica(DA)GETRES, 50, 100)",      // ResearchModule
    "GetUnits(Mushketer_ev(DA)) -> 0",             // UnitUpgradeModule
    "GetReadyUnits(Rinok(DA)) -> 0",               // MarketModule
    "SetPDistribution(0, 4, 4)",                   // PeasantDistributionModule
    "UpgIsRun(Pikiner_evro(DA)ATTACK4) -> false",  // ChooseMineUpgradeRules again
};

INSTANTIATE_TEST_SUITE_P(
    Variants, InlandModuleOrder,
    ::testing::Values(
        Variant{"normal0", 0, 1, kNormalMarkers, {"TryUnit(Dragun_18_DIP(DA), 110, 20, 100)"}, 2},
        Variant{"normal5", 5, 0, kNormalMarkers, {"GetReadyUnits(Kazarma(DA)) -> 0"}, 2},
        Variant{"rich5",
                5,
                3,
                {"SetDefenseState(1)", "GetUnits(Dragun_18_DIP(DA)) -> 0", "GetReadyUnits(Kazarma(DA)) -> 0",
                 "TryUnit(Kreposnoi_pruss(DA), 1000, 20, 100)", "TryUnit(Dragun_18_DIP(DA), 110, 20, 100)",
                 "TryUnit(Mortira_b(DA), 60, 80, 100)", "GetReadyUnits(Rinok(DA)) -> 0",
                 "SetPDistribution(0, 4, 4)", "GetUnits(Strelec_Algir_DIP(DA)) -> 0",
                 "TryUpgrade(Melnica(DA)GETRES, 50, 100)"},
                {"TryUnit(Kazarma(DA), 3, 100, 100)", "GetReadyUnits(Bashnia(DA)) -> 0",
                 "TryUnit(Strelec_Algir_DIP(DA), 160, 20, 100)", "GetMaxPeaceTime() -> 0"},
                1},
        Variant{"rich0",
                0,
                3,
                {"GetReadyUnits(Kazarma(DA)) -> 0", "TryUnit(Mortira_b(DA), 60, 80, 100)",
                 "SetPDistribution(0, 4, 4)", "GetUnits(Mushketer_ev(DA)) -> 0",
                 "TryUpgrade(MAINDA, 98, 100)", "GetUnits(Pikiner_evro(DA)) -> 0"},
                {"TryUnit(Kazarma(DA), 3, 100, 100)", "GetPeaceTimeLeft() -> 0"},
                1}),
    RowName<Variant>);

struct PeaceGate {
    int32_t startRes, peaceLeft;
    bool towers, unitUpgrades;
};

class InlandPeaceGates : public ::testing::TestWithParam<PeaceGate> {};

TEST_P(InlandPeaceGates, TowersBelowFiveUnitUpgradesBelowThree) {
    const PeaceGate g = GetParam();
    const Lines t =
        CallsAfterSetUp(std::string(kStart) + "land-type 0\nstart-res " + std::to_string(g.startRes) +
                            "\npeace-time-left " + std::to_string(g.peaceLeft) + "\n",
                        denmark::ProcessAI);
    EXPECT_EQ(Filter(t, "TryUpgrade(Bashnia(DA)PAUSE").size(), g.towers ? 6u : 0u);
    EXPECT_EQ(CountOf(t, "GetUnits(Mushketer_ev(DA)) -> 0"), g.unitUpgrades ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Cases, InlandPeaceGates,
                         ::testing::Values(PeaceGate{1, 5, false, false}, PeaceGate{1, 4, true, false},
                                           PeaceGate{2, 3, true, false}, PeaceGate{0, 2, true, true},
                                           PeaceGate{3, 3, false, true}));

// ---------------------------------------------------------------------------------------
// Defence and the DIP-quota latch.

struct ModuleCase {
    const char* name;
    std::string scenario;
    Lines expected;
};
void PrintTo(const ModuleCase& row, std::ostream* os) { *os << row.name; }

// One module's calls, written out in full, for each row of a table.
template <void (*Module)()>
class ModuleCalls : public ::testing::TestWithParam<ModuleCase> {
protected:
    void ExpectCalls() { EXPECT_EQ(RunModule(Module, GetParam().scenario), GetParam().expected); }
};

using NormalDefenceCalls = ModuleCalls<denmark::NormalDefence>;
TEST_P(NormalDefenceCalls, Sequence) { ExpectCalls(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalDefenceCalls,
    ::testing::Values(
        ModuleCase{
            "QuotaOnPikesComplete",
            "register 10 1\nupgrade Pikiner_evro(DA)ATTACK4 done\nupgrade "
            "Pikiner_evro(DA)SHIELD4 done\n",
            {"SetDefenseState(1)", "GetAIRegister(10) -> 1", "UpgIsDone(Pikiner_evro(DA)ATTACK4) -> true",
             "UpgIsDone(Pikiner_evro(DA)SHIELD4) -> true", "SetDefenseState(0)", "GetMaxPeaceTime() -> 0"}},
        ModuleCase{
            "QuotaOnShieldMissing",
            "register 10 1\nupgrade Pikiner_evro(DA)ATTACK4 done\n",
            {"SetDefenseState(1)", "GetAIRegister(10) -> 1", "UpgIsDone(Pikiner_evro(DA)ATTACK4) -> true",
             "UpgIsDone(Pikiner_evro(DA)SHIELD4) -> false", "SetDefenseState(1)", "GetMaxPeaceTime() -> 0"}},
        ModuleCase{"PeaceTimeGame",
                   "max-peace-time 1\n",
                   {"SetDefenseState(1)", "GetAIRegister(10) -> 0", "SetDefenseState(1)",
                    "GetMaxPeaceTime() -> 1", "SetDefenseState(0)"}}),
    RowName<ModuleCase>);

using RichDefenceCalls = ModuleCalls<denmark::RichDefence>;
TEST_P(RichDefenceCalls, Sequence) { ExpectCalls(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RichDefenceCalls,
    ::testing::Values(ModuleCase{"FourKeepsSet",
                                 "register 10 1\nunits Dragun_18_DIP(DA) 4\n",
                                 {"SetDefenseState(1)", "GetUnits(Dragun_18_DIP(DA)) -> 4",
                                  "GetUnits(Dragun_18_DIP(DA)) -> 4", "GetAIRegister(10) -> 1",
                                  "SetDefenseState(0)", "SetDefenseState(0)"}},
                      ModuleCase{"NinetyFiveKeepsClear",
                                 "units Dragun_18_DIP(DA) 95\n",
                                 {"SetDefenseState(1)", "GetUnits(Dragun_18_DIP(DA)) -> 95",
                                  "GetUnits(Dragun_18_DIP(DA)) -> 95", "GetAIRegister(10) -> 0",
                                  "SetDefenseState(1)", "SetDefenseState(0)"}},
                      // The count is read again for the upper threshold.
                      ModuleCase{
                          "ReadAgain",
                          "then GetUnits(Dragun_18_DIP(DA)) 2 96\n",
                          {"SetDefenseState(1)", "GetUnits(Dragun_18_DIP(DA)) -> 2", "SetAIRegister(10, 0)",
                           "GetUnits(Dragun_18_DIP(DA)) -> 96", "SetAIRegister(10, 1)",
                           "GetAIRegister(10) -> 1", "SetDefenseState(0)", "SetDefenseState(0)"}}),
    RowName<ModuleCase>);

// The normal latch over several ticks: the host keeps the register, the counts change.
TEST(DipQuotaLatch, NormalArmyKeepsTheFlagBetweenFortyAndOneFiftySix) {
    FakeGame game(kStart);
    game.InitAI();
    denmark::AINation = 2;
    struct Step {
        int32_t strelec;
        int32_t flagAfter;
        std::size_t writes;
    };
    const Step steps[] = {{0, 0, 1},  {157, 1, 1}, {156, 1, 0}, {40, 1, 0},
                          {39, 0, 1}, {40, 0, 0},  {156, 0, 0}, {157, 1, 1}};
    for (const Step& s : steps) {
        game.state().units["Strelec_Algir_DIP(DA)"] = s.strelec;
        game.Take();
        const Lines t = game.Run(denmark::NormalArmy);
        EXPECT_EQ(Filter(t, "SetAIRegister(").size(), s.writes) << s.strelec;
        EXPECT_EQ(game.state().registers[10], s.flagAfter) << s.strelec;
        // While the flag is set, the quota units are not asked for.
        EXPECT_EQ(Filter(t, "TryUnit(Strelec_Algir_DIP(DA), 160, 20, 100)").size(),
                  s.flagAfter == 0 ? 2u : 0u)
            << s.strelec;
    }
}

TEST(DipQuotaLatch, NormalArmyReadsTheCountAgainForTheUpperThreshold) {
    const Lines t = RunModule(denmark::NormalArmy, "then GetUnits(Strelec_Algir_DIP(DA)) 10 200\n");
    ASSERT_GE(t.size(), 4u);
    EXPECT_EQ(Lines(t.begin(), t.begin() + 4),
              (Lines{"GetUnits(Strelec_Algir_DIP(DA)) -> 10", "SetAIRegister(10, 0)",
                     "GetUnits(Strelec_Algir_DIP(DA)) -> 200", "SetAIRegister(10, 1)"}));
}

// ---------------------------------------------------------------------------------------
// Armies.

struct ArmyCase {
    const char* name;
    std::string scenario;
    GameOptions options;
    std::size_t strelec;    // "Strelec_Algir_DIP(DA)" (160) requests
    std::size_t dragoons;   // "Dragun_18_DIP(DA)" (16) requests
    std::size_t costReads;  // GetUnitCost calls
    std::size_t money1Reads;
};
void PrintTo(const ArmyCase& row, std::ostream* os) { *os << row.name; }

class NormalArmyQuota : public ::testing::TestWithParam<ArmyCase> {};

TEST_P(NormalArmyQuota, DipRequests) {
    const ArmyCase& c = GetParam();
    const Lines t = RunModule(denmark::NormalArmy, c.scenario, c.options);
    EXPECT_EQ(CountOf(t, "TryUnit(Strelec_Algir_DIP(DA), 160, 20, 100)"), c.strelec);
    EXPECT_EQ(CountOf(t, "TryUnit(Dragun_18_DIP(DA), 16, 20, 100)"), c.dragoons);
    EXPECT_EQ(Filter(t, "GetUnitCost(2, Dragun_18_DIP(DA), 1)").size(), c.costReads);
    EXPECT_EQ(Filter(t, "GetMoney(1)").size(), c.money1Reads);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalArmyQuota,
    ::testing::Values(
        ArmyCase{"Cost119", "unit-cost Dragun_18_DIP(DA) 1 119\nmoney 1 1501\n", {}, 2, 32, 2, 2},
        ArmyCase{"Cost120", "unit-cost Dragun_18_DIP(DA) 1 120\nmoney 1 1501\n", {}, 2, 0, 2, 0},
        ArmyCase{"Money1500", "unit-cost Dragun_18_DIP(DA) 1 119\nmoney 1 1500\n", {}, 2, 0, 2, 2},
        ArmyCase{"NoCostFunction", "unit-cost Dragun_18_DIP(DA) 1 500\nmoney 1 1501\n",
                 Without({"GetUnitCost"}), 2, 32, 0, 2},
        ArmyCase{"PeaceTimeGame", "max-peace-time 1\nmoney 1 5000\n", {}, 0, 0, 0, 0}),
    RowName<ArmyCase>);

// One round of the normal army written out in full; the second round repeats it.
TEST(NormalArmy, TwoRoundsWithTheQuotaOpen) {
    const Lines t = RunModule(denmark::NormalArmy,
                              "units Pikiner_evro(DA) 140\nupgrade MAINDA done\n"
                              "unit-cost Dragun_18_DIP(DA) 1 119\nmoney 1 1501\n");
    const Lines round = Concat(
        {{"TryUnit(Kreposnoi_pruss(DA), 1000, 20, 100)", "GetUnits(Pikiner_evro(DA)) -> 140",
          "TryUnit(Pikiner_evro(DA), 1000, 20, 40)", "TryUnit(Mushketer_ev(DA), 1000, 20, 100)",
          "GetAIRegister(10) -> 0", "GetMaxPeaceTime() -> 0", "TryUnit(Strelec_Algir_DIP(DA), 160, 20, 100)",
          "GetUnitCost(2, Dragun_18_DIP(DA), 1) -> 119", "GetMoney(1) -> 1501"},
         Repeat(16, "TryUnit(Dragun_18_DIP(DA), 16, 20, 100)"),
         {"UpgIsDone(MAINDA) -> true", "TryUnit(Dragun(DA), 1000, 20, 30)",
          "TryUnit(Dragun_18(DA), 1000, 20, 100)", "TryUnit(Grenader(DA), 1000, 20, 100)"}});
    const Lines head = {"GetUnits(Strelec_Algir_DIP(DA)) -> 0", "SetAIRegister(10, 0)",
                        "GetUnits(Strelec_Algir_DIP(DA)) -> 0"};
    EXPECT_EQ(t, Concat({head, round, round}));
}

// Costs take the nation as an 8-bit value; the quota register is the full nation index + 8.
TEST(NormalArmy, NationPassedAsEightBitsToTheCost) {
    const Lines t = RunModule(denmark::NormalArmy, "units Strelec_Algir_DIP(DA) 100\n", {}, 0, 258);
    EXPECT_EQ(CountOf(t, "GetAIRegister(266) -> 0"), 2u);
    EXPECT_EQ(CountOf(t, "GetUnitCost(2, Dragun_18_DIP(DA), 1) -> 0"), 2u);
}

struct RichArmyCase {
    const char* name;
    std::string scenario;
    std::size_t dipDragoons, dipGrenadiers, dragoons;
};
void PrintTo(const RichArmyCase& row, std::ostream* os) { *os << row.name; }

class RichArmyRequests : public ::testing::TestWithParam<RichArmyCase> {};

TEST_P(RichArmyRequests, Counts) {
    const RichArmyCase& c = GetParam();
    const Lines t = RunModule(denmark::RichArmy, c.scenario);
    EXPECT_EQ(CountOf(t, "TryUnit(Dragun_18_DIP(DA), 110, 20, 100)"), c.dipDragoons);
    EXPECT_EQ(CountOf(t, "TryUnit(Grenader_DIP(DA), 60, 20, 100)"), c.dipGrenadiers);
    EXPECT_EQ(CountOf(t, "TryUnit(Dragun(DA), 1000, 20, 100)"), c.dragoons);
    EXPECT_EQ(CountOf(t, "TryUnit(Kreposnoi_pruss(DA), 1000, 20, 100)"), 2u);
    EXPECT_EQ(CountOf(t, "TryUnit(Grenader(DA), 1000, 20, 100)"), 2u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RichArmyRequests,
    ::testing::Values(RichArmyCase{"QuotaOpen", "", 200, 0, 2},
                      // The "Dragun(DA)" handle itself, also when the cavalry is the other type.
                      RichArmyCase{"OtherCavalry", "random 0\n", 200, 0, 2},
                      RichArmyCase{"MainDone", "register 10 1\nupgrade MAINDA done\n", 0, 2, 0}),
    RowName<RichArmyCase>);

// The handle is compared, not the name: a copy of the pikeman's handle does not count.
TEST(PikesComplete, OnlyThePikemanHandle) {
    FakeGame game(std::string(kStart) +
                  "upgrade Pikiner_evro(DA)ATTACK4 done\nupgrade Pikiner_evro(DA)SHIELD4 done\n");
    game.Run(denmark::InitAI);
    EXPECT_TRUE(denmark::PikesComplete(&denmark::Units.Pikiner_evro));
    EXPECT_EQ(game.Take(), (Lines{"UpgIsDone(Pikiner_evro(DA)ATTACK4) -> true",
                                  "UpgIsDone(Pikiner_evro(DA)SHIELD4) -> true"}));
    const HostHandle copy = denmark::Units.Pikiner_evro;
    EXPECT_FALSE(denmark::PikesComplete(&copy));
    EXPECT_FALSE(denmark::PikesComplete(&denmark::Units.Kirasir));
    EXPECT_FALSE(denmark::PikesComplete(nullptr));
    EXPECT_TRUE(game.Take().empty());
}

// ---------------------------------------------------------------------------------------
// Buildings and towers.

// The requests of every normal build order up to the second house, after the first two calls.
const Lines kBuildCommon = {"TryUnit(Melnica(DA), 1, 100, 100)", "TryUnit(Europ(DA), 1, 100, 100)",
                            "TryUnit(Melnica(DA), 1, 100, 100)", "TryUnit(Europ(DA), 1, 100, 100)",
                            "TryUnit(Sclad1(DA), 1, 100, 100)",  "TryUnit(Rinok(DA), 1, 100, 100)",
                            "GetReadyUnits(Rinok(DA)) -> 1",     "TryUnit(Kuznica(DA), 1, 100, 100)",
                            "TryUnit(Europ(DA), 2, 100, 100)"};
// The same without an embassy.
const Lines kBuildHead =
    Concat({{"TryUnit(Kazarma(DA), 3, 100, 100)", "GetReadyUnits(Dip_korpus(DA)) -> 0"}, kBuildCommon});

using NormalBuildOrderCalls = ModuleCalls<denmark::NormalBuildOrder>;
TEST_P(NormalBuildOrderCalls, Sequence) { ExpectCalls(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, NormalBuildOrderCalls,
    ::testing::Values(
        ModuleCase{"OneEuropStartRes1", "start-res 1\nunits Rinok(DA) 1\nunits Europ(DA) 2 1\n",
                   Concat({kBuildHead, {"GetReadyUnits(Europ(DA)) -> 1", "GetStartRes() -> 1"}})},
        ModuleCase{"OneEuropStartRes0",
                   "start-res 0\npeace-time-left 9\nunits Rinok(DA) 1\nunits Europ(DA) 2 1\n",
                   Concat({kBuildHead,
                           {"GetReadyUnits(Europ(DA)) -> 1", "GetStartRes() -> 0",
                            "TryUnit(Kazarma_evro(DA), 2, 100, 100)", "GetReadyUnits(Kazarma_evro(DA)) -> 0",
                            "GetUnits(Kazarma_evro(DA)) -> 0", "TryUnit(akademia_E(DA), 1, 100, 100)",
                            "GetPeaceTimeLeft() -> 9", "TryUnit(Europ(DA), 4, 100, 100)",
                            "GetReadyUnits(Europ(DA)) -> 1"}})},
        ModuleCase{"BarracksUnfinished",
                   "start-res 1\nunits Rinok(DA) 1\nunits Europ(DA) 2\nunits Kazarma_evro(DA) 2 1\n",
                   Concat({kBuildHead,
                           {"GetReadyUnits(Europ(DA)) -> 2", "TryUnit(Kazarma_evro(DA), 2, 100, 100)",
                            "GetReadyUnits(Kazarma_evro(DA)) -> 1", "GetUnits(Kazarma_evro(DA)) -> 2"}})},
        ModuleCase{
            "Complete",
            "start-res 1\npeace-time-left 2\nunits Dip_korpus(DA) 1\nunits Rinok(DA) 1\n"
            "units Europ(DA) 3\nunits Kazarma_evro(DA) 2\nunits Kazarma(DA) 1\n"
            "upgrade AKA10DA done\n",
            Concat({{"TryUnit(Kazarma(DA), 3, 100, 100)", "GetReadyUnits(Dip_korpus(DA)) -> 1",
                     "TryUnit(Melnica(DA), 2, 100, 100)", "TryUnit(Sclad1(DA), 4, 100, 100)"},
                    kBuildCommon,
                    {"GetReadyUnits(Europ(DA)) -> 3", "TryUnit(Kazarma_evro(DA), 2, 100, 100)",
                     "GetReadyUnits(Kazarma_evro(DA)) -> 2", "GetUnits(Kazarma_evro(DA)) -> 2",
                     "TryUnit(akademia_E(DA), 1, 100, 100)", "GetPeaceTimeLeft() -> 2",
                     "TryUnit(Dip_korpus(DA), 1, 100, 100)", "GetReadyUnits(Dip_korpus(DA)) -> 1",
                     "TryUnit(Europ(DA), 4, 100, 100)", "GetReadyUnits(Europ(DA)) -> 3",
                     "TryUnit(Konushnia_Swesair(DA), 3, 100, 100)", "GetUnits(Kazarma(DA)) -> 1",
                     "TryUnit(Konushnia_Swesair(DA), 4, 100, 100)", "TryUnit(artileri_depo(DA), 1, 100, 100)",
                     "TryUnit(artileri_depo(DA), 3, 40, 100)", "UpgIsDone(AKA10DA) -> true",
                     "TryUnit(Konushnia_Swesair(DA), 5, 100, 100)",
                     "TryUnit(Cercov_Poland(DA), 1, 100, 100)"}})}),
    RowName<ModuleCase>);

const Lines kRichHead = {
    "GetReadyUnits(Kazarma(DA)) -> 1",         "GetUnits(Kazarma(DA)) -> 1",
    "TryUnit(Kazarma(DA), 5, 100, 100)",       "TryUnit(Europ(DA), 1, 100, 100)",
    "TryUnit(Kuznica(DA), 1, 100, 100)",       "TryUnit(Kazarma_evro(DA), 2, 100, 100)",
    "GetUnits(Kazarma_evro(DA)) -> 2",         "GetReadyUnits(Kazarma_evro(DA)) -> 2",
    "TryUnit(akademia_E(DA), 1, 100, 100)",    "GetReadyUnits(akademia_E(DA)) -> 1",
    "TryUnit(Sclad1(DA), 1, 100, 100)",        "TryUnit(Melnica(DA), 1, 100, 100)",
    "TryUnit(Rinok(DA), 1, 100, 100)",         "GetReadyUnits(Rinok(DA)) -> 1",
    "TryUnit(Dip_korpus(DA), 1, 100, 100)",    "TryUnit(Cercov_Poland(DA), 1, 100, 100)",
    "TryUnit(artileri_depo(DA), 1, 100, 100)", "TryUnit(Konushnia_Swesair(DA), 1, 100, 100)"};

const char* const kRichBuilt =
    "units Kazarma(DA) 1\nunits Kazarma_evro(DA) 2\nunits akademia_E(DA) 1\nunits Rinok(DA) 1\n";

using RichBuildOrderCalls = ModuleCalls<denmark::RichBuildOrder>;
TEST_P(RichBuildOrderCalls, Sequence) { ExpectCalls(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, RichBuildOrderCalls,
    ::testing::Values(
        ModuleCase{"BarracksBuilding",
                   "units Kazarma(DA) 2 1\nunits Kazarma_evro(DA) 2 1\n",
                   {"GetReadyUnits(Kazarma(DA)) -> 1", "GetUnits(Kazarma(DA)) -> 2",
                    "TryUnit(Europ(DA), 1, 100, 100)", "TryUnit(Kuznica(DA), 1, 100, 100)",
                    "TryUnit(Kazarma_evro(DA), 2, 100, 100)", "GetUnits(Kazarma_evro(DA)) -> 2",
                    "GetReadyUnits(Kazarma_evro(DA)) -> 1"}},
        ModuleCase{"LateExtraction99",
                   std::string(kRichBuilt) + "upgrade MAINDA running\nextraction 1 99\n"
                                             "units Europ(DA) 2\nunits Konushnia_Swesair(DA) 3 2\n",
                   Concat({kRichHead,
                           {"UpgIsRun(MAINDA) -> true", "GetReadyUnits(Europ(DA)) -> 2",
                            "GetUnits(Europ(DA)) -> 2", "GetExtraction(1) -> 99",
                            "TryUnit(Europ(DA), 6, 100, 100)", "GetReadyUnits(Konushnia_Swesair(DA)) -> 2",
                            "GetUnits(Konushnia_Swesair(DA)) -> 3", "GetReadyUnits(artileri_depo(DA)) -> 0",
                            "GetUnits(artileri_depo(DA)) -> 0", "TryUnit(artileri_depo(DA), 3, 100, 100)"}})},
        ModuleCase{
            "Extraction100",
            std::string(kRichBuilt) + "upgrade MAINDA done\nextraction 1 100\n"
                                      "units artileri_depo(DA) 1 0\n",
            Concat({kRichHead,
                    {"UpgIsRun(MAINDA) -> true", "GetReadyUnits(Europ(DA)) -> 0", "GetUnits(Europ(DA)) -> 0",
                     "GetExtraction(1) -> 100", "TryUnit(Europ(DA), 4, 100, 100)",
                     "GetReadyUnits(Konushnia_Swesair(DA)) -> 0", "GetUnits(Konushnia_Swesair(DA)) -> 0",
                     "TryUnit(Konushnia_Swesair(DA), 7, 100, 100)", "GetReadyUnits(artileri_depo(DA)) -> 0",
                     "GetUnits(artileri_depo(DA)) -> 1"}})}),
    RowName<ModuleCase>);

struct TowerCase {
    const char* name;
    std::string scenario;
    int32_t freePeasants;
    Lines requests;  // TryUnit lines
};
void PrintTo(const TowerCase& row, std::ostream* os) { *os << row.name; }

class TowerRequests : public ::testing::TestWithParam<TowerCase> {};

TEST_P(TowerRequests, ByUnfinishedBuildingsAndPeasants) {
    const TowerCase& c = GetParam();
    const Lines t = RunModule(denmark::TowerModule, c.scenario, {}, c.freePeasants);
    const Lines reads = {"GetReadyUnits(Bashnia(DA))",      "GetUnits(Kazarma_evro(DA))",
                         "GetReadyUnits(Kazarma_evro(DA))", "GetUnits(akademia_E(DA))",
                         "GetReadyUnits(akademia_E(DA))",   "GetUnits(Bashnia(DA))"};
    ASSERT_GE(t.size(), reads.size());
    for (std::size_t i = 0; i < reads.size(); ++i) EXPECT_EQ(t[i].rfind(reads[i], 0), 0u) << t[i];
    EXPECT_EQ(Filter(t, "TryUnit("), c.requests);
    EXPECT_EQ(Filter(t, "TryUpgrade("),
              (Lines{"TryUpgrade(Bashnia(DA)PAUSE, 50, 100)", "TryUpgrade(Bashnia(DA)PAUSE3, 40, 100)",
                     "TryUpgrade(Bashnia(DA)PAUSE4, 30, 100)", "TryUpgrade(Bashnia(DA)PAUSE5, 20, 100)",
                     "TryUpgrade(Bashnia(DA)PAUSE6, 15, 100)", "TryUpgrade(Bashnia(DA)PAUSE7, 10, 100)"}));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TowerRequests,
    ::testing::Values(TowerCase{"FortyPeasants", "", 40, {}},
                      TowerCase{"FortyOne", "", 41, {"TryUnit(Bashnia(DA), 4, 50, 100)"}},
                      TowerCase{"AllResearch",
                                "upgrade KUZ03DA running\nupgrade MAINDA done\nunits Bashnia(DA) 3\n",
                                41,
                                {"TryUnit(Bashnia(DA), 4, 50, 100)", "TryUnit(Bashnia(DA), 6, 50, 100)",
                                 "TryUnit(Bashnia(DA), 8, 50, 100)"}},
                      // Unfinished counts are summed: one tower too many finished cancels one building.
                      TowerCase{"SumIsZero",
                                "units Bashnia(DA) 1 2\nunits Kazarma_evro(DA) 2 1\n",
                                100,
                                {"TryUnit(Bashnia(DA), 4, 50, 100)"}}),
    RowName<TowerCase>);

// ---------------------------------------------------------------------------------------
// Research and unit upgrades.

TEST(ResearchModule, EverythingOpen) {
    const Lines t = RunModule(denmark::ResearchModule,
                              "units akademia_E(DA) 1\nunits Dip_korpus(DA) 2\nupgrade AKA24DA running\n"
                              "units Konushnia_Swesair(DA) 1\nunits Kazarma(DA) 3\n");
    EXPECT_EQ(t, (Lines{"TryUpgrade(Melnica(DA)GETRES, 50, 100)", "GetUnits(akademia_E(DA)) -> 1",
                        "TryUpgrade(KUZ01DA, 100, 100)", "TryUpgrade(AKA01DA, 100, 100)",
                        "TryUpgrade(AKA08DA, 90, 100)", "GetUnits(Dip_korpus(DA)) -> 2",
                        "TryUpgrade(AKA04DA, 100, 100)", "UpgIsRun(AKA24DA) -> true",
                        "TryUpgrade(AKA02DA, 100, 100)", "TryUpgrade(AKA24DA, 92, 100)",
                        "TryUpgrade(Melnica(DA)GETRES2, 98, 100)", "GetUnits(Konushnia_Swesair(DA)) -> 1",
                        "TryUpgrade(KUZ03DA, 98, 100)", "TryUpgrade(MAINDA, 98, 100)",
                        "GetUnits(Kazarma(DA)) -> 3", "TryUpgrade(AKA10DA, 100, 100)"}));
}

struct UpgradeCase {
    const char* name;
    std::string scenario;
    std::string prefix;  // the requests looked at
    Lines expected;
};
void PrintTo(const UpgradeCase& row, std::ostream* os) { *os << row.name; }

class UnitUpgradeRequests : public ::testing::TestWithParam<UpgradeCase> {};

TEST_P(UnitUpgradeRequests, ByArmySize) {
    const UpgradeCase& c = GetParam();
    EXPECT_EQ(Filter(RunModule(denmark::UnitUpgradeModule, c.scenario), c.prefix), c.expected);
}

// The requests of `unit`'s upgrades of one kind ("ATTACK" or "SHIELD") from level `first` up, one
// per priority. The levels are 1 and 3 to 7; level 1 has no number in its name.
Lines Ladder(const std::string& unit, const std::string& kind, std::initializer_list<int> priorities,
             int first = 1) {
    Lines tries;
    int level = first;
    for (int priority : priorities) {
        const std::string upgrade = unit + kind + (level == 1 ? "" : std::to_string(level));
        tries.push_back("TryUpgrade(" + upgrade + ", " + std::to_string(priority) + ", 100)");
        level = level == 1 ? 3 : level + 1;
    }
    return tries;
}

const Lines kPikesFirst = Concat(
    {Ladder("Pikiner_evro(DA)", "ATTACK", {80, 85, 90}), Ladder("Pikiner_evro(DA)", "SHIELD", {80, 85, 90})});
const Lines kPikesLate = Concat(
    {Ladder("Pikiner_evro(DA)", "ATTACK", {90, 90}, 5), Ladder("Pikiner_evro(DA)", "SHIELD", {90, 90}, 5)});

Lines CavalryFirst(const std::string& n) {
    return Concat({Ladder(n, "SHIELD", {80, 85, 90}), Ladder(n, "ATTACK", {80, 85, 90})});
}

const Lines kDragoons =
    Concat({Ladder("Dragun(DA)", "ATTACK", {80, 85, 90}), Ladder("Dragun(DA)", "SHIELD", {95, 95, 95}, 5)});

const char* const kChainDone = "upgrade Dragun_18(DA)ATTACK7 done\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, UnitUpgradeRequests,
    ::testing::Values(
        UpgradeCase{"Pikes25", "units Pikiner_evro(DA) 25\n", "TryUpgrade(Pikiner_evro", {}},
        UpgradeCase{"Pikes26", "units Pikiner_evro(DA) 26\n", "TryUpgrade(Pikiner_evro", kPikesFirst},
        UpgradeCase{"Pikes121", "units Pikiner_evro(DA) 121\n", "TryUpgrade(Pikiner_evro",
                    Concat({kPikesFirst, kPikesLate})},
        UpgradeCase{"Cavalry21General",
                    "units Dragun(DA) 21\n",
                    "TryUpgrade(KUZ0",
                    {"TryUpgrade(KUZ05DA, 95, 100)", "TryUpgrade(KUZ06DA, 15, 100)"}},
        UpgradeCase{"Cavalry141General",
                    "random 0\nunits Konni_Ricar(DA) 141\n",
                    "TryUpgrade(KUZ0",
                    {"TryUpgrade(KUZ05DA, 95, 100)", "TryUpgrade(KUZ06DA, 95, 100)"}},
        // Drawn cavalry "Dragun(DA)": its own set, then the dragoon set of the same type.
        UpgradeCase{"DragoonDrawn21", "units Dragun(DA) 21\n", "TryUpgrade(Dragun(DA)",
                    Concat({CavalryFirst("Dragun(DA)"), kDragoons})},
        UpgradeCase{"HorsemenDrawn21", "random 1\nunits Konni_Ricar(DA) 21\n", "TryUpgrade(Konni_Ricar(DA)",
                    CavalryFirst("Konni_Ricar(DA)")},
        UpgradeCase{
            "HorsemenDrawn51", "random 4\nunits Konni_Ricar(DA) 51\n", "TryUpgrade(Konni_Ricar(DA)",
            Concat({CavalryFirst("Konni_Ricar(DA)"), Ladder("Konni_Ricar(DA)", "SHIELD", {95, 95, 95}, 5),
                    Ladder("Konni_Ricar(DA)", "ATTACK", {95, 95, 95}, 5)})},
        UpgradeCase{"Dragoons21WithSecond20",
                    "random 0\nunits Dragun(DA) 21\nunits Dragun_18(DA) 20\n",
                    "TryUpgrade(Dragun",
                    {}},
        UpgradeCase{"Musketeers101", "units Mushketer_ev(DA) 101\n", "TryUpgrade(",
                    Concat({Ladder("Mushketer_ev(DA)", "ATTACK", {90, 90, 90}),
                            Ladder("Mushketer_ev(DA)", "SHIELD", {30, 30, 30}),
                            {"TryUpgrade(AKA31DA, 90, 100)", "TryUpgrade(AKA33DA, 90, 100)"}})},
        UpgradeCase{"Cuirassiers21Attack7Running",
                    "units Kirasir(DA) 21\nupgrade Kirasir(DA)ATTACK7 running\n", "TryUpgrade(Kirasir(DA)",
                    Concat({Ladder("Kirasir(DA)", "SHIELD", {90, 90, 90}),
                            Ladder("Kirasir(DA)", "ATTACK", {90, 90, 95, 95, 95, 95}),
                            Ladder("Kirasir(DA)", "SHIELD", {95, 95, 95}, 5)})},
        UpgradeCase{"SecondDragoons21", "units Dragun_18(DA) 21\n", "TryUpgrade(",
                    Concat({Ladder("Dragun_18(DA)", "ATTACK", {80, 85, 90, 95, 95, 95}),
                            Ladder("Dragun_18(DA)", "SHIELD", {10, 15, 20, 25, 25, 25}),
                            {"TryUpgrade(AKA31DA, 90, 100)", "TryUpgrade(AKA33DA, 90, 100)"}})},
        UpgradeCase{
            "Grenadiers60",
            "units Grenader(DA) 60\n",
            "TryUpgrade(AKA3",
            {"TryUpgrade(AKA35DA, 15, 100)", "TryUpgrade(AKA31DA, 90, 100)", "TryUpgrade(AKA33DA, 90, 100)"}},
        UpgradeCase{"Grenadiers61Running",
                    "units Grenader(DA) 61\nupgrade AKA35DA running\nupgrade KUZ04DA done\n", "TryUpgrade(",
                    Concat({Ladder("Grenader(DA)", "ATTACK", {90, 90, 90, 90, 90, 90}),
                            Ladder("Grenader(DA)", "SHIELD", {90, 90, 90, 90, 90, 90}),
                            {"TryUpgrade(AKA35DA, 90, 100)", "TryUpgrade(KUZ04DA, 90, 100)",
                             "TryUpgrade(AKA36DA, 90, 100)", "TryUpgrade(AKA31DA, 90, 100)",
                             "TryUpgrade(AKA33DA, 90, 100)"}})},
        UpgradeCase{"ChainClosed",
                    "upgrade AKA15DA running\nupgrade AKA14DA running\nupgrade AKA13DA running\n",
                    "TryUpgrade(AKA1",
                    {}},
        UpgradeCase{"ChainTwo",
                    std::string(kChainDone) + "upgrade AKA15DA running\nupgrade AKA13DA running\n",
                    "TryUpgrade(AKA1",
                    {"TryUpgrade(AKA15DA, 90, 100)", "TryUpgrade(AKA14DA, 90, 100)"}},
        UpgradeCase{"ChainAll",
                    std::string(kChainDone) +
                        "upgrade AKA15DA running\nupgrade AKA14DA done\nupgrade AKA13DA running\n",
                    "TryUpgrade(AKA1",
                    {"TryUpgrade(AKA15DA, 90, 100)", "TryUpgrade(AKA14DA, 90, 100)",
                     "TryUpgrade(AKA13DA, 90, 100)", "TryUpgrade(AKA12DA, 90, 100)"}}),
    RowName<UpgradeCase>);

// ---------------------------------------------------------------------------------------
// Market and peasant distribution.

using MarketCalls = ModuleCalls<denmark::MarketModule>;
TEST_P(MarketCalls, Sequence) { ExpectCalls(); }

const Lines kOpeningDoneHead = {"GetReadyUnits(Rinok(DA)) -> 1", "GetStartRes() -> 1",
                                "GetReadyUnits(Rinok(DA)) -> 1", "GetAIRegister(2) -> 1"};
const char* const kMarketReady = "units Rinok(DA) 1\nstart-res 1\nregister 2 1\n";
const Lines kNoSurplus = {"GetMoney(2) -> 0", "GetMoney(0) -> 0"};
// "AKA24DA" running and "MAINDA" not: the market buys what "MAINDA" costs.
const std::string kMainWanted = std::string(kMarketReady) + "upgrade AKA24DA running\n";
const Lines kMainHead =
    Concat({kOpeningDoneHead,
            {"UpgIsRun(AKA08DA) -> false", "UpgIsRun(AKA24DA) -> true", "UpgIsRun(MAINDA) -> false"}});

INSTANTIATE_TEST_SUITE_P(
    Cases, MarketCalls,
    ::testing::Values(
        ModuleCase{"NoFinishedMarket",
                   "units Rinok(DA) 2 0\nstart-res 3\nmoney 0 200000\n",
                   {"GetReadyUnits(Rinok(DA)) -> 0"}},
        ModuleCase{"Rich",
                   "units Rinok(DA) 1\nstart-res 3\nmoney 0 200000\nupgrade AKA24DA running\n",
                   {"GetReadyUnits(Rinok(DA)) -> 1", "GetStartRes() -> 3", "GetAIRegister(2) -> 0",
                    "AI_Torg(2, 3, 500000)", "AI_Torg(0, 3, 80000)", "SetAIRegister(2, 1)"}},
        ModuleCase{"MarketGoneOnSecondRead",
                   "units Rinok(DA) 1\nstart-res 1\nthen GetReadyUnits(Rinok(DA)) 1 0\n",
                   {"GetReadyUnits(Rinok(DA)) -> 1", "GetStartRes() -> 1", "GetReadyUnits(Rinok(DA)) -> 0"}},
        ModuleCase{"OpeningStartRes0", "units Rinok(DA) 1\nstart-res 0\n",
                   Concat({{"GetReadyUnits(Rinok(DA)) -> 1", "GetStartRes() -> 0",
                            "GetReadyUnits(Rinok(DA)) -> 1", "GetAIRegister(2) -> 0", "AI_Torg(5, 3, 4000)",
                            "GetStartRes() -> 0", "GetStartRes() -> 0", "SetAIRegister(2, 1)",
                            "UpgIsRun(AKA08DA) -> false", "UpgIsRun(AKA24DA) -> false"},
                           kNoSurplus})},
        // Resource 5 for "AKA24DA": 11/10 of 1000 is covered by a stock of 1100.
        ModuleCase{"Aka24Covered",
                   std::string(kMarketReady) + "upgrade AKA08DA running\nunits akademia_E(DA) 1\n"
                                               "upgrade-cost AKA24DA 5 1000\nmoney 5 1100\n",
                   Concat({kOpeningDoneHead,
                           {"UpgIsRun(AKA08DA) -> true", "UpgIsRun(AKA24DA) -> false",
                            "GetReadyUnits(akademia_E(DA)) -> 1", "GetUpgradeCost(2, AKA24DA, 5) -> 1000",
                            "GetMoney(5) -> 1100", "UpgIsRun(AKA24DA) -> false"},
                           kNoSurplus})},
        // "MAINDA": resource 3 is short and resource 2 cannot pay; 1 and 4 are not tried.
        ModuleCase{"MainPurchaseOf3Fails",
                   kMainWanted +
                       "upgrade-cost MAINDA 3 10000\nupgrade-cost MAINDA 1 10\nupgrade-cost MAINDA 4 10\n"
                       "money 2 5000\nrate 2 3 500\n",
                   Concat({kMainHead,
                           {"GetUpgradeCost(2, MAINDA, 3) -> 10000", "GetMoney(3) -> 0", "GetMoney(3) -> 0",
                            "GetTorgResult(2, 3, 1000) -> 500", "GetMoney(2) -> 5000", "GetMoney(2) -> 5000",
                            "GetMoney(0) -> 0"}})},
        // All three bought from stock: 105/100 for resource 1, 11/10 for 3 and 4.
        ModuleCase{
            "MainAllCovered",
            kMainWanted +
                "upgrade-cost MAINDA 3 10000\nupgrade-cost MAINDA 1 10000\nupgrade-cost MAINDA 4 10000\n"
                "money 3 11000\nmoney 1 10500\nmoney 4 11000\n",
            Concat({kMainHead,
                    {"GetUpgradeCost(2, MAINDA, 3) -> 10000", "GetMoney(3) -> 11000",
                     "GetUpgradeCost(2, MAINDA, 1) -> 10000", "GetMoney(1) -> 10500",
                     "GetUpgradeCost(2, MAINDA, 4) -> 10000", "GetMoney(4) -> 11000"},
                    kNoSurplus})},
        // Resource 1 is bought for 32000 of resource 2, after two 100-unit sales; 4 costs nothing.
        ModuleCase{
            "MainBuysResource1",
            kMainWanted + "upgrade-cost MAINDA 1 40000\nmoney 1 10000\nmoney 2 99000\nrate 2 1 1000\n",
            Concat({kMainHead,
                    {"GetUpgradeCost(2, MAINDA, 3) -> 0", "GetMoney(3) -> 0",
                     "GetUpgradeCost(2, MAINDA, 1) -> 40000", "GetMoney(1) -> 10000", "GetMoney(1) -> 10000",
                     "GetTorgResult(2, 1, 1000) -> 1000", "GetMoney(2) -> 99000", "AI_Torg(1, 2, 100)",
                     "AI_Torg(1, 2, 100)", "GetTorgResult(2, 1, 1000) -> 1000", "AI_Torg(2, 1, 32000)",
                     "GetUpgradeCost(2, MAINDA, 4) -> 0", "GetMoney(4) -> 0", "GetMoney(2) -> 99000",
                     "GetMoney(0) -> 0"}})},
        ModuleCase{"Surplus",
                   std::string(kMarketReady) + "money 2 100001\nmoney 0 100000\n"
                                               "then GetMoney(2) 100001 77\n",
                   Concat({kOpeningDoneHead,
                           {"UpgIsRun(AKA08DA) -> false", "UpgIsRun(AKA24DA) -> false",
                            "GetMoney(2) -> 100001", "AI_Torg(0, 2, 5000)", "GetMoney(2) -> 77",
                            "AI_Torg(2, 1, 77)", "GetMoney(0) -> 100000"}})}),
    RowName<ModuleCase>);

// The opening-trade register is the host's: a second call finds it set and trades nothing.
TEST(MarketModule, OpeningTradeOnlyOnce) {
    FakeGame game(std::string(kStart) + "units Rinok(DA) 1\nstart-res 3\n");
    game.InitAI();
    denmark::AINation = 2;
    EXPECT_EQ(Filter(game.Run(denmark::MarketModule), "AI_Torg(").size(), 2u);
    EXPECT_EQ(game.Run(denmark::MarketModule),
              (Lines{"GetReadyUnits(Rinok(DA)) -> 1", "GetStartRes() -> 3", "GetAIRegister(2) -> 1"}));
}

TEST(MarketModule, MissingCostFunctionBuysNothing) {
    const Lines t = RunModule(denmark::MarketModule,
                              std::string(kMarketReady) +
                                  "upgrade AKA24DA running\nupgrade AKA08DA running\n"
                                  "units akademia_E(DA) 1\n",
                              Without({"GetUpgradeCost"}));
    EXPECT_EQ(
        t, Concat({kOpeningDoneHead,
                   {"UpgIsRun(AKA08DA) -> true", "UpgIsRun(AKA24DA) -> true", "UpgIsRun(AKA24DA) -> true",
                    "UpgIsRun(MAINDA) -> false", "GetMoney(3) -> 0", "GetMoney(1) -> 0", "GetMoney(4) -> 0"},
                   kNoSurplus}));
}

// Everything researched that the distribution looks at: only the first rules remain.
const char* const kResearched =
    "field yes\nstart-res 1\nupgrade Melnica(DA)GETRES2 running\nupgrade MAINDA running\n"
    "upgrade AKA24DA running\nupgrade AKA08DA running\nupgrade AKA01DA running\n"
    "upgrade KUZ01DA running\nupgrade Melnica(DA)GETRES running\nunits akademia_E(DA) 1\n"
    "units Dip_korpus(DA) 1\n";

// Every distribution starts without a field and then finds one.
const Lines kFieldFound = {"SetPDistribution(0, 4, 4)", "FieldExist() -> true", "SetPDistribution(9, 4, 4)"};

const Lines kDistributionHead = Concat(
    {kFieldFound,
     {"GetStartRes() -> 1", "FieldExist() -> true", "SetPDistribution(9, 4, 4)",
      "UpgIsRun(Melnica(DA)GETRES2) -> true", "UpgIsRun(MAINDA) -> true", "UpgIsRun(AKA24DA) -> true"}});

// An upgrade not researched whose cost in 3 the stock does not cover, and the distribution
// that follows.
Lines NotCovered(const std::string& upgrade, const std::string& distribution) {
    return {"UpgIsRun(" + upgrade + ") -> false", "GetUpgradeCost(2, " + upgrade + ", 3) -> 0",
            "GetMoney(3) -> 0", distribution};
}

const Lines kDistributionTail = {"UpgIsRun(AKA08DA) -> true", "UpgIsRun(AKA01DA) -> true",
                                 "UpgIsRun(KUZ01DA) -> true", "GetUnits(akademia_E(DA)) -> 1",
                                 "UpgIsRun(Melnica(DA)GETRES) -> true"};

using PeasantDistributionCalls = ModuleCalls<denmark::PeasantDistributionModule>;
TEST_P(PeasantDistributionCalls, Sequence) { ExpectCalls(); }

INSTANTIATE_TEST_SUITE_P(
    Cases, PeasantDistributionCalls,
    ::testing::Values(
        ModuleCase{"FieldGoneOnSecondRead", "start-res 2\nthen FieldExist() true false\n",
                   Concat({kFieldFound,
                           {"GetStartRes() -> 2", "FieldExist() -> false", "SetPDistribution(0, 6, 3)"}})},
        ModuleCase{"Stock9000", std::string(kResearched) + "money 3 9000\n",
                   Concat({kDistributionHead,
                           {"UpgIsRun(Pikiner_evro(DA)ATTACK4) -> false", "GetMoney(3) -> 9000",
                            "GetUnits(Dip_korpus(DA)) -> 1"},
                           kDistributionTail})},
        ModuleCase{"Stock8999",
                   std::string(kResearched) + "money 3 8999\nupgrade Pikiner_evro(DA)ATTACK4 running\n",
                   Concat({kDistributionHead,
                           {"UpgIsRun(Pikiner_evro(DA)ATTACK4) -> true",
                            "UpgIsRun(Pikiner_evro(DA)SHIELD4) -> false", "GetMoney(3) -> 8999",
                            "SetPDistribution(9, 4, 1)", "GetUnits(Dip_korpus(DA)) -> 1"},
                           kDistributionTail})},
        ModuleCase{"NothingResearched",
                   "field yes\nstart-res 0\npeace-time-left 1\nunit-cost Dip_korpus(DA) 2 "
                   "500\nmoney 2 549\n",
                   Concat({kFieldFound,
                           {"GetStartRes() -> 0", "FieldExist() -> true", "SetPDistribution(9, 4, 4)"},
                           NotCovered("Melnica(DA)GETRES2", "SetPDistribution(9, 6, 6)"),
                           NotCovered("MAINDA", "SetPDistribution(9, 6, 6)"),
                           NotCovered("AKA24DA", "SetPDistribution(6, 9, 1)"),
                           {"UpgIsRun(Pikiner_evro(DA)ATTACK4) -> false", "GetMoney(3) -> 0",
                            "SetPDistribution(9, 4, 1)"},
                           {"GetUnits(Dip_korpus(DA)) -> 0", "GetPeaceTimeLeft() -> 1",
                            "GetUnitCost(2, Dip_korpus(DA), 2) -> 500", "GetMoney(2) -> 549",
                            "SetPDistribution(9, 5, 3)"},
                           {"UpgIsRun(AKA08DA) -> false", "SetPDistribution(9, 1, 1)",
                            "UpgIsRun(AKA01DA) -> false", "SetPDistribution(9, 4, 1)"},
                           {"GetUnits(akademia_E(DA)) -> 0", "SetPDistribution(6, 4, 4)",
                            "UpgIsRun(Melnica(DA)GETRES) -> false", "SetPDistribution(9, 1, 1)"}})}),
    RowName<ModuleCase>);

struct Threshold {
    const char* name;
    std::string scenario;
    GameOptions options;
    Lines distributions;  // SetPDistribution calls after the first three
};
void PrintTo(const Threshold& row, std::ostream* os) { *os << row.name; }

const char* const kPikesRunning =
    "upgrade Pikiner_evro(DA)ATTACK4 running\nupgrade Pikiner_evro(DA)SHIELD4 running\n";

class DistributionThresholds : public ::testing::TestWithParam<Threshold> {};

TEST_P(DistributionThresholds, ScaledCosts) {
    const Threshold& c = GetParam();
    Lines t =
        Filter(RunModule(denmark::PeasantDistributionModule,
                         std::string(kResearched) + kPikesRunning + "money 3 9000\n" + c.scenario, c.options),
               "SetPDistribution(");
    ASSERT_GE(t.size(), 3u);
    EXPECT_EQ(Lines(t.begin() + 3, t.end()), c.distributions);
}

// The mill's second upgrade and the embassy not there yet; each case adds the cost and the stock.
const std::string kMill = "upgrade Melnica(DA)GETRES2 none\nupgrade-cost Melnica(DA)GETRES2 3 ";
const std::string kEmbassy = "units Dip_korpus(DA) 0\npeace-time-left 1\nunit-cost Dip_korpus(DA) 2 500\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, DistributionThresholds,
    ::testing::Values(
        // 11/10 of 1000 is 1100.
        Threshold{"Mill1099", kMill + "1000\nmoney 3 1099\n", {}, {"SetPDistribution(9, 4, 4)"}},
        Threshold{"Mill1100", kMill + "1000\nmoney 3 1100\n", {}, {"SetPDistribution(9, 6, 6)"}},
        // 13/10 of 1000 is 1300.
        Threshold{"Aka24_1300",
                  "upgrade AKA24DA none\nupgrade-cost AKA24DA 3 1000\nmoney 3 1300\n",
                  {},
                  {"SetPDistribution(6, 9, 1)"}},
        // 2147483647 × 11 wraps to 2147483637; a tenth of it is 214748363.
        Threshold{
            "WrappedMill", kMill + "2147483647\nmoney 3 214748363\n", {}, {"SetPDistribution(9, 6, 6)"}},
        Threshold{
            "WrappedMillShort", kMill + "2147483647\nmoney 3 214748362\n", {}, {"SetPDistribution(9, 4, 4)"}},
        // 200000000 × 11 wraps to a negative number: no stock is below it.
        Threshold{"WrappedNegative",
                  "upgrade MAINDA none\nupgrade-cost MAINDA 3 200000000\nmoney 3 0\n",
                  {},
                  {"SetPDistribution(9, 6, 6)"}},
        // 2147483647 × 13 wraps to 2147483635; a tenth of it is 214748363.
        Threshold{"Embassy549", kEmbassy + "money 2 549\n", {}, {"SetPDistribution(9, 5, 3)"}},
        Threshold{"Embassy550", kEmbassy + "money 2 550\n", {}, {"SetPDistribution(9, 7, 1)"}},
        Threshold{
            "EmbassyNoCostFunction", kEmbassy, Without({"GetUnitCost"}), {"SetPDistribution(9, 7, 1)"}}),
    RowName<Threshold>);

}  // namespace
}  // namespace denmark_test
