// Test fixture: the Denmark core bound to an in-process ZORM test host, and the helpers that
// the suites share for their expectations.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <initializer_list>
#include <ostream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host_sim.h"

namespace denmark_test {

using Lines = std::vector<std::string>;

struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message& o) const { return text == o.text && caption == o.caption; }
};

struct GameOptions {
    std::set<std::string> missing;  // host functions the game does not export
    bool moduleFound = true;        // false: the host executable has another name
};

// A game that does not export the host functions `missing`.
GameOptions Without(std::set<std::string> missing);

// A freshly loaded plug-in (all handles and tables as at load time) bound to a host that
// answers from `scenario`.
class FakeGame {
public:
    explicit FakeGame(const std::string& scenario, GameOptions options = {});
    ~FakeGame();

    zorm::HostSim& host() { return host_; }
    zorm::GameState& state() { return host_.state(); }
    const std::vector<Message>& messages() const { return messages_; }

    // Trace lines written since the last Take().
    Lines Take();
    // Calls `entry` (an export or any routine of the plug-in), then Take().
    Lines Run(void (*entry)());

    void InitAI();
    void ProcessAI();
    // Applies the scenario's changes for tick k (from a "tick k" section).
    void Tick(int k);

private:
    std::ostringstream trace_;
    zorm::HostSim host_;
    std::vector<Message> messages_;
    std::size_t taken_ = 0;
};

// The calls of one `entry` in a game of `scenario` after InitAI (whose own calls are left out).
Lines CallsAfterSetUp(const std::string& scenario, void (*entry)(), GameOptions options = {});

// Lines of a trace file of the Wine tests (shared expectations), without "==" headers.
Lines ReadExpected(const std::string& name);

// Only the lines that start with `prefix`.
Lines Filter(const Lines& lines, const std::string& prefix);

// The lines that start with the first of `prefixes`, then those that start with the second...
Lines FilterEach(const Lines& lines, std::initializer_list<std::string> prefixes);

// How many of `lines` are exactly `line`.
std::size_t CountOf(const Lines& lines, const std::string& line);

// The parts one after another.
Lines Concat(std::initializer_list<Lines> parts);

// `n` times `line`.
Lines Repeat(int n, const std::string& line);

// A table row: the game's state (scenario lines) and the calls expected from it.
struct StateCase {
    std::string state;
    Lines expected;
};
inline void PrintTo(const StateCase& c, std::ostream* os) { *os << c.state; }

// A table of such rows: ExpectCalls compares the calls that start with `prefixes` in one `tick`
// from `state` followed by the row's state.
class StateTable : public ::testing::TestWithParam<StateCase> {
protected:
    void ExpectCalls(Lines (*tick)(const std::string&), const std::string& state,
                     std::initializer_list<std::string> prefixes) {
        EXPECT_EQ(FilterEach(tick(state + GetParam().state), prefixes), GetParam().expected);
    }
};

// Names each row of a table by its `name`.
template <typename Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    return info.param.name;
}

}  // namespace denmark_test
