// Runs the scriptable HTTP test server for one test and a scratch folder beside it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace nelkar_test {

// A fresh, empty folder that is removed with the object.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool Exists(const std::string& path);
// `s` written `n` times.
std::string Repeat(const std::string& s, size_t n);

// What `work` throws as an `E`, or "(nothing thrown)": compared with the message expected, a
// call that throws nothing fails the comparison. Other exceptions go on to the test.
template <class E, class Work>
std::string ThrownText(Work&& work) {
    try {
        work();
    } catch (const E& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

// Changes the current folder for its lifetime.
class CwdGuard {
public:
    explicit CwdGuard(const std::string& dir);
    ~CwdGuard();

private:
    std::string old_;
};

// What a child process reported: the text its work returned (or how it ended), and its peak
// memory growth in KiB: getrusage's peak resident size less the resident size it started
// with. Measured this way, not limited with RLIMIT_AS, so that it holds in the ASan build too,
// whose address space reservations are huge.
struct ChildRun {
    std::string text;
    long growthKib = -1;
};

// Runs `work` in a child process. Outside ASan the child's address space is capped at 4 GiB,
// only as a guard for the machine; a child that hangs ends after two minutes.
ChildRun RunInChild(const std::function<std::string()>& work);

class TestServer {
public:
    // Starts the server on an unused port of 127.0.0.1 with `script` (see the server's usage).
    explicit TestServer(const std::string& script);
    ~TestServer();
    int port() const { return port_; }
    void SetScript(const std::string& script);
    // The raw bytes of every request received so far, in order.
    std::vector<std::string> Requests() const;

private:
    ScratchDir dir_;
    int pid_ = -1;
    int port_ = 0;
};

// A port of 127.0.0.1 that nothing listens on: the test server's, once it has stopped.
int FreePort();

}  // namespace nelkar_test

// The tests live in the helper's namespace and use the rig by its short names.
namespace nelkar {
using nelkar_test::ChildRun;
using nelkar_test::CwdGuard;
using nelkar_test::Exists;
using nelkar_test::FreePort;
using nelkar_test::ReadFile;
using nelkar_test::Repeat;
using nelkar_test::RunInChild;
using nelkar_test::ScratchDir;
using nelkar_test::TestServer;
using nelkar_test::ThrownText;
using nelkar_test::WriteFile;
}  // namespace nelkar
