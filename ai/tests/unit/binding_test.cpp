// Library attach: finding the game module, binding by name, the two failure messages.
#include <gtest/gtest.h>

#include "fake_game.h"
#include "host.h"
#include "plugin.h"

namespace denmark_test {
namespace {

const char kLand0[] = "land-type 0\nstart-res 1\nunits Pikiner_evro(DA) 72\nunits Kreposnoi_pruss(DA) 10\n";

int BoundCount() {
    int n = 0;
#define COUNT_CALLED(name, result, params, args) n += denmark::HostFunctions.name != nullptr;
#define COUNT_UNUSED(name) n += denmark::HostFunctions.name != nullptr;
    ZORM_HOST_FUNCTIONS(COUNT_CALLED, COUNT_UNUSED)
#undef COUNT_CALLED
#undef COUNT_UNUSED
    return n;
}

TEST(Binding, FullHostBindsAll117WithoutMessages) {
    FakeGame game(kLand0);
    EXPECT_TRUE(game.messages().empty());
    EXPECT_EQ(BoundCount(), 117);
    EXPECT_NE(denmark::HostModule, nullptr);
}

TEST(Binding, HostUnderAnotherNameShowsOneMessageAndBindsNothing) {
    GameOptions o;
    o.moduleFound = false;
    FakeGame game(kLand0, o);
    ASSERT_EQ(game.messages().size(), 1u);
    EXPECT_EQ(game.messages()[0], (Message{"Can not detect ZORM.EXE", "ERROR!"}));
    EXPECT_EQ(BoundCount(), 0);
    EXPECT_EQ(denmark::HostModule, nullptr);
    // Nothing is bound, so set-up and ticks call nothing and do not fail.
    game.InitAI();
    game.ProcessAI();
    EXPECT_TRUE(game.Take().empty());
}

struct MissingCase {
    std::set<std::string> missing;
    std::vector<std::string> messagesInOrder;  // names, in binding order
};

class BindingMissing : public ::testing::TestWithParam<MissingCase> {};

TEST_P(BindingMissing, OneMessagePerMissingFunctionInBindingOrder) {
    FakeGame game(kLand0, Without(GetParam().missing));
    std::vector<Message> expected;
    for (const std::string& name : GetParam().messagesInOrder)
        expected.push_back({"ZORM.EXE does not contain function: " + name, "DLL init error."});
    EXPECT_EQ(game.messages(), expected);
    EXPECT_EQ(BoundCount(), 117 - int(GetParam().missing.size()));
}

INSTANTIATE_TEST_SUITE_P(Cases, BindingMissing,
                         ::testing::Values(MissingCase{{"GetPeaceTimeLeft"}, {"GetPeaceTimeLeft"}},
                                           MissingCase{{"RegisterUnits"}, {"RegisterUnits"}},
                                           MissingCase{
                                               {"GetPeaceTimeLeft", "RegisterUnits", "GetUnits", "HINT"},
                                               {"RegisterUnits", "HINT", "GetUnits", "GetPeaceTimeLeft"}},
                                           MissingCase{{"SET_MIN_PEASANT_BRIGADE", "GetResOnMap"},
                                                       {"SET_MIN_PEASANT_BRIGADE", "GetResOnMap"}}));

TEST(Binding, LongestHostNameFitsTheMessage) {
    FakeGame game(kLand0, Without({"AssignAmountOfMineUpgrades"}));
    ASSERT_EQ(game.messages().size(), 1u);
    EXPECT_EQ(game.messages()[0].text, "ZORM.EXE does not contain function: AssignAmountOfMineUpgrades");
}

TEST(Binding, WithoutRegisterUpgradeSetUpStillRegistersUnitsAndSendsSettings) {
    const auto trace = FakeGame(kLand0, Without({"RegisterUpgrade"})).Run(denmark::InitAI);
    EXPECT_EQ(Filter(trace, "RegisterUpgrade(").size(), 0u);
    EXPECT_EQ(Filter(trace, "RegisterUnitType(").size(), 38u);
    EXPECT_EQ(Filter(trace, "SafeRegisterUpgrade(").size(), 24u);
    EXPECT_EQ(Filter(trace, "AssignMineUpgrade(").size(), 6u);
    EXPECT_EQ(trace.back(), "SET_MIN_PEASANT_BRIGADE(5)");
}

TEST(Binding, WithoutRegisterUnitTypeHandlesStayUnregistered) {
    FakeGame game(kLand0, Without({"RegisterUnitType"}));
    EXPECT_EQ(Filter(game.Run(denmark::InitAI), "RegisterUnitType(").size(), 0u);
    const auto tick = game.Run(denmark::ProcessAI);
    const auto counts = Filter(tick, "GetUnits(");
    EXPECT_FALSE(counts.empty());
    EXPECT_EQ(Filter(tick, "GetUnits(<unregistered>)"), counts);
}

TEST(Binding, UnboundFunctionReadsAsZeroAndIsNeverCalled) {
    const auto tick = CallsAfterSetUp(kLand0, denmark::ProcessAI, Without({"GetUnits", "GetTorgResult"}));
    // 72 pikemen are not seen: no formation leaders.
    EXPECT_TRUE(Filter(tick, "GetUnits(").empty());
    EXPECT_TRUE(Filter(tick, "TryUnit(Officer_evro(DA)").empty());
    EXPECT_TRUE(Filter(tick, "TryUnit(Barabanshik_ev1(DA)").empty());
}

}  // namespace
}  // namespace denmark_test
