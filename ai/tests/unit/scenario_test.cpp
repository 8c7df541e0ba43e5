// The test host's scenario files: statements, tick sections, mistakes reported by line.
#include <gtest/gtest.h>

#include <sstream>

#include "game.h"
#include "scenario.h"

namespace {

TEST(Scenario, StartStateAndTickChanges) {
    const zorm::Scenario sc = zorm::ParseScenario(
        "# a comment\r\n"
        "name  Coastal opening  \n"
        "ticks 3\n"
        "land-type 1   # sea\n"
        "units Pikiner_evro(DA) 40 30\n"
        "units Kirasir(DA) 5\n"
        "rate 0 1 1200\n"
        "tick 2\n"
        "money 0 0x10\n"
        "entry ProcessMiddleSeaAI\n"
        "tick 3\n"
        "new-game\n");
    EXPECT_EQ(sc.name, "Coastal opening");
    EXPECT_EQ(sc.ticks, 3);
    std::ostringstream out;
    zorm::HostSim host(sc, out);
    EXPECT_EQ(host.state().landType, 1);
    EXPECT_EQ(host.state().units.at("Pikiner_evro(DA)"), 40);
    EXPECT_EQ(host.state().ready.at("Pikiner_evro(DA)"), 30);
    EXPECT_EQ(host.state().ready.at("Kirasir(DA)"), 5);
    EXPECT_EQ(host.GetTorgResult(0, 1, 1000), 1200);
    EXPECT_EQ(host.GetTorgResult(1, 0, 500), 500);
    zorm::TickDirectives t1 = host.Tick(1);
    EXPECT_EQ(t1.entry, "ProcessAI");
    EXPECT_EQ(host.state().money.count(0), 0u);
    zorm::TickDirectives t2 = host.Tick(2);
    EXPECT_EQ(t2.entry, "ProcessMiddleSeaAI");
    EXPECT_FALSE(t2.newGame);
    EXPECT_EQ(host.state().money.at(0), 16);
    zorm::TickDirectives t3 = host.Tick(3);
    EXPECT_EQ(t3.entry, "ProcessMiddleSeaAI");
    EXPECT_TRUE(t3.newGame);
}

struct Bad {
    const char* text;
    const char* message;
};

class ScenarioMistake : public ::testing::TestWithParam<Bad> {};

TEST_P(ScenarioMistake, NamesTheLine) {
    try {
        zorm::ParseScenario(GetParam().text);
        FAIL() << "accepted";
    } catch (const zorm::ScenarioError& e) {
        EXPECT_STREQ(e.what(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, ScenarioMistake,
                         ::testing::Values(Bad{"land-type two\n", "line 1: 'two' is not a 32-bit number"},
                                           Bad{"\nmoney 0 2147483648\n",
                                               "line 2: '2147483648' is not a 32-bit number"},
                                           Bad{"field maybe\n", "line 1: 'maybe' is neither yes nor no"},
                                           Bad{"upgrade AKA01DA started\n",
                                               "line 1: an upgrade is none, running or done, not 'started'"},
                                           Bad{"tick 2\ntick 2\n", "line 2: tick sections must rise from 1"},
                                           Bad{"new-game\n", "line 1: 'new-game' belongs in a tick section"},
                                           Bad{"entry InitAI\n", "line 1: unknown entry 'InitAI'"},
                                           Bad{"gold 5\n", "line 1: unknown statement 'gold'"},
                                           Bad{"land-type 1 2\n", "line 1: 'land-type' takes 1 value(s)"}));

TEST(Scenario, RandomAnswersInTurnAndTheLastRepeats) {
    std::ostringstream out;
    zorm::HostSim host(zorm::ParseScenario("random 2 7 9\n"), out);
    EXPECT_EQ(host.GetRandomIndex(), 2);
    EXPECT_EQ(host.GetRandomIndex(), 7);
    EXPECT_EQ(host.GetRandomIndex(), 9);
    EXPECT_EQ(host.GetRandomIndex(), 9);
}

TEST(Scenario, RegistersKeepWhatThePluginWrites) {
    std::ostringstream out;
    zorm::HostSim host(zorm::ParseScenario("register 3 5\n"), out);
    EXPECT_EQ(host.GetAIRegister(3), 5);
    host.SetAIRegister(3, 9);
    EXPECT_EQ(host.GetAIRegister(3), 9);
    EXPECT_EQ(host.GetAIRegister(4), 0);
}

TEST(Scenario, MissingExportIsReportedAndTheGameGoesOn) {
    std::ostringstream out;
    zorm::HostSim host(zorm::ParseScenario("ticks 2\nentry ProcessLandAI\n"), out);
    static int calls;
    calls = 0;
    zorm::PluginEntries p;
    p.ProcessLandAI = [] { ++calls; };
    EXPECT_FALSE(zorm::PlayGame(host, p));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(out.str(),
              "== InitAI\n== the plug-in does not export InitAI\n== tick 1: ProcessLandAI\n"
              "== tick 2: ProcessLandAI\n== end: 2 tick(s), 0 host call(s)\n");
}

}  // namespace
