// Test fixture: the Denmark core bound to an in-process ZORM test host.
#pragma once

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "host_sim.h"

namespace denmark_test {

struct Message {
    std::string text;
    std::string caption;
    bool operator==(const Message& o) const { return text == o.text && caption == o.caption; }
};

struct GameOptions {
    std::set<std::string> missing;  // host functions the game does not export
    bool moduleFound = true;        // false: the host executable has another name
};

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
    std::vector<std::string> Take();

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

// Lines of a trace file of the Wine tests (shared expectations), without "==" headers.
std::vector<std::string> ReadExpected(const std::string& name);

// Only the lines that start with `prefix`.
std::vector<std::string> Filter(const std::vector<std::string>& lines, const std::string& prefix);

}  // namespace denmark_test
