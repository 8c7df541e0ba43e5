// TSockClient over POSIX sockets: line reading, sending limits, connection errors, waits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

#include "posix_files.h"
#include "posix_socket.h"
#include "sock_client.h"
#include "test_server.h"

namespace nelkar {
namespace {

using nelkar_test::ReadFile;
using nelkar_test::ScratchDir;
using nelkar_test::TestServer;

class SockClientTest : public ::testing::Test {
protected:
    PosixSocketBackend backend_;
    PosixFileSys files_;
    ScratchDir dir_;
};

TEST_F(SockClientTest, ReadLnJoinsALineSplitOverSeveralArrivals) {
    TestServer server(
        "case #1\nsend HTTP/1.0\nsleep 0.05\nsend  200\nsleep 0.05\nsend  OK\\r\\nsecond line\\n"
        "rest\nsleep 0.05\nsend  of it\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    EXPECT_EQ("HTTP/1.0 200 OK\r\n", c.ReadLn());
    EXPECT_EQ("second line\n", c.ReadLn());
    // The bytes after the last LF stay for the capture.
    c.CaptureFile(dir_ / "rest");
    EXPECT_EQ("rest of it", ReadFile(dir_ / "rest"));
    EXPECT_EQ(10u, c.BytesReceived());
    c.Disconnect();
}

TEST_F(SockClientTest, ReadLnDropsAnUnfinishedLineAtTheEnd) {
    TestServer server("case #1\nsend complete\\nunfinished\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    EXPECT_EQ("complete\n", c.ReadLn());
    EXPECT_EQ("", c.ReadLn());
    c.Disconnect();
}

TEST_F(SockClientTest, WriteSendsAtMost65535Bytes) {
    TestServer server("case #1\nhang\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    EXPECT_NO_THROW(c.Write(std::string(65535, 'x')));
    EXPECT_THROW(c.Write(std::string(65536, 'x')), ESockError);
    // Writeln adds two bytes to the limit.
    EXPECT_NO_THROW(c.Writeln(std::string(65533, 'x')));
    EXPECT_THROW(c.Writeln(std::string(65534, 'x')), ESockError);
    // A zero byte ends the text.
    EXPECT_NO_THROW(c.Write(std::string(70000, 'x').replace(10, 1, 1, '\0')));
    c.Disconnect();
}

TEST_F(SockClientTest, ConnectErrors) {
    TestServer server("case #1\nhang\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    try {
        c.Connect();
        FAIL() << "second Connect succeeded";
    } catch (const ESockError& e) {
        EXPECT_STREQ("Already connected", e.what());
    }
    c.Disconnect();

    c.Host = "no-such-host.invalid";
    try {
        c.Connect();
        FAIL();
    } catch (const ESockError& e) {
        EXPECT_STREQ("Null Remote Address", e.what());
    }

    int freePort;
    {
        TestServer probe("case *\nclose\n");
        freePort = probe.port();
    }
    c.Host = "127.0.0.1";
    c.Port = freePort;
    try {
        c.Connect();
        FAIL();
    } catch (const ESockError& e) {
        EXPECT_STREQ("Connection Failed", e.what());
    }
    // A fresh socket serves the next connection.
    c.Port = server.port();
    EXPECT_NO_THROW(c.Connect());
    c.Disconnect();
}

// A back end whose connect call fails at once, as Winsock's does for some errors; the socket
// it failed on stays unusable, as a Winsock socket after a failed connect.
class RefusingConnect : public PosixSocketBackend {
public:
    int refusals = 1;
    std::vector<SockHandle> failed;
    int Connect(SockHandle s, uint32_t addr, uint16_t port) override {
        if (refusals > 0 || std::find(failed.begin(), failed.end(), s) != failed.end()) {
            if (refusals > 0) --refusals;
            failed.push_back(s);
            error_ = kWsaEconnrefused;
            return -1;
        }
        return PosixSocketBackend::Connect(s, addr, port);
    }
    int LastError() override { return error_ ? std::exchange(error_, 0) : PosixSocketBackend::LastError(); }
    int CloseSocket(SockHandle s) override {
        failed.erase(std::remove(failed.begin(), failed.end(), s), failed.end());  // its number may come back
        return PosixSocketBackend::CloseSocket(s);
    }

private:
    int error_ = 0;
};

TEST(SockClientConnectTest, ImmediateFailureReplacesTheSocket) {
    TestServer server("case #1\nsend hi\\n\n");
    RefusingConnect backend;
    PosixFileSys files;
    TSockClient c(backend, files);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    try {
        c.Connect();
        FAIL() << "connected";
    } catch (const ESockError& e) {
        EXPECT_STREQ("10061:Connection refused", e.what());
    }
    EXPECT_FALSE(c.Connected());
    ASSERT_NO_THROW(c.Connect());
    EXPECT_EQ("hi\n", c.ReadLn());
    c.Disconnect();
}

TEST_F(SockClientTest, InvalidHostHandlerGetsOneMoreTry) {
    TestServer server("case #1\nhang\n");
    TSockClient c(backend_, files_);
    int asked = 0;
    c.OnInvalidHost = [&] {
        ++asked;
        c.Host = "127.0.0.1";
        return true;
    };
    c.Host = "no-such-host.invalid";
    c.Port = server.port();
    c.Connect();
    EXPECT_EQ(1, asked);
    c.Disconnect();
}

TEST_F(SockClientTest, OnlyTheLowSixteenBitsOfThePortCount) {
    TestServer server("case #1\nsend hi\\n\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port() + 0x30000;
    c.Connect();
    EXPECT_EQ("hi\n", c.ReadLn());
    c.Disconnect();
}

TEST_F(SockClientTest, CaptureOnAClosedConnectionCreatesAnEmptyFile) {
    TestServer server("case #1\nclose\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    c.CaptureFile(dir_ / "empty");
    EXPECT_TRUE(nelkar_test::Exists(dir_ / "empty"));
    EXPECT_EQ("", ReadFile(dir_ / "empty"));
    c.Disconnect();
}

// The close arrives together with the end of the connection attempt: the connection still
// counts as made and the reader sees its end.
TEST_F(SockClientTest, PeerThatClosesAtOnceStillConnects) {
    std::string script;
    for (int i = 1; i <= 20; ++i) script += "case #" + std::to_string(i) + "\nclose\n";
    TestServer server(script);
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NO_THROW(c.Connect());
        EXPECT_EQ("", c.ReadLn());
        c.Disconnect();
    }
}

TEST_F(SockClientTest, StatusTextsFollowTheReportLevel) {
    TestServer server("case #1\nclose\n");
    std::vector<std::string> seen;
    TSockClient c(backend_, files_);
    c.OnStatus = [&](const std::string& s) { seen.push_back(s); };
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.ReportLevel = 0;
    c.Connect();
    c.Disconnect();
    EXPECT_TRUE(seen.empty());
    c.ReportLevel = 4;
    c.Connect();
    c.Disconnect();
    EXPECT_EQ(std::vector<std::string>({"Request Close Socket"}), seen);
    seen.clear();
    c.ReportLevel = 8;
    c.Connect();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ("Connecting", seen.front());
    EXPECT_EQ("Timer Off", seen.back());
    EXPECT_EQ("Timer Off", c.LastStatus());
    c.Disconnect();
}

// A silent server keeps the client waiting, but every turn of the wait blocks: a second of
// silence costs a handful of turns, not millions.
TEST_F(SockClientTest, WaitingForASilentServerDoesNotSpin) {
    TestServer server("case #1\nsleep 1\nsend late\\n\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    uint64_t before = c.WaitTurns();
    EXPECT_EQ("late\n", c.ReadLn());
    EXPECT_LE(c.WaitTurns() - before, 5u);
    c.Disconnect();
}

TEST_F(SockClientTest, TimeOutEndsAWaitWithAbort) {
    TestServer server("case #1\nhang\n");
    TSockClient c(backend_, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    c.TimeOut = 200;
    try {
        c.ReadLn();
        FAIL();
    } catch (const EAbortError& e) {
        EXPECT_STREQ("Socket readln aborted", e.what());
    }
    c.Disconnect();
}

// The status texts of a connection's life at report level 8, in order, as each operation
// reports them: its own name, the time limit switched on and off around its wait.
TEST_F(SockClientTest, StatusTextsOfAnExchange) {
    TestServer server("case #1\nsend line\\r\\n\nhang\n");
    std::vector<std::string> seen;
    TSockClient c(backend_, files_);
    c.ReportLevel = 8;
    c.OnStatus = [&](const std::string& s) { seen.push_back(s); };
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    c.Writeln("GET / HTTP/1.0");
    EXPECT_EQ("line\r\n", c.ReadLn());
    c.Disconnect();
    EXPECT_EQ(std::vector<std::string>({"Connecting", "Resolve Host", "Timer On", "Timer Off",  // Connect
                                        "Writeln", "Write", "Sending Buffer", "Timer On", "Timer Off",
                                        "ReadLn", "Timer On", "Timer Off",  //
                                        "Disconnecting", "Request Close Socket"}),
              seen);

    // A time limit that passes: the timer fires, the operation is cancelled, the timer is off.
    seen.clear();
    c.Connect();
    seen.clear();
    c.TimeOut = 100;
    EXPECT_THROW(c.ReadLn(), EAbortError);
    EXPECT_EQ(std::vector<std::string>(
                  {"ReadLn", "Timer On", "Timer Triggered", "Abort", "Canceling", "Timer Off"}),
              seen);
    c.Disconnect();
}

// A back end whose look-up, connection wait or message dispatch can be held or interrupted.
class ScriptedBackend : public PosixSocketBackend {
public:
    bool failStartup = false;
    bool lookUpHangs = false;      // the look-up waits until it is told to stop
    bool connectHangs = false;     // the connection attempt never ends
    std::function<void()> onWait;  // called on every turn of a wait, as a message handler
    int Startup(std::vector<std::string>* description) override {
        return failStartup ? 10091 : PosixSocketBackend::Startup(description);
    }
    int LookUp(const std::string& host, uint32_t* addr, const std::function<bool()>& stop,
               const std::function<int()>& waitMs) override {
        if (!lookUpHangs) return PosixSocketBackend::LookUp(host, addr, stop, waitMs);
        for (;;) {
            if (onWait) onWait();
            if (stop()) return kWsaEintr;
            int ms = waitMs();
            usleep(static_cast<useconds_t>(ms < 0 || ms > 10 ? 10000 : ms * 1000));
        }
    }
    int Connect(SockHandle s, uint32_t addr, uint16_t port) override {
        if (!connectHangs) return PosixSocketBackend::Connect(s, addr, port);
        return -1;
    }
    int LastError() override { return connectHangs ? kWsaEwouldblock : PosixSocketBackend::LastError(); }
    // Every wait wakes after 10 ms at most, as for a window message.
    NetEvents Wait(SockHandle s, unsigned interest, int timeoutMs) override {
        if (onWait) onWait();
        int ms = timeoutMs < 0 || timeoutMs > 10 ? 10 : timeoutMs;
        if (!connectHangs) return PosixSocketBackend::Wait(s, interest, ms);
        usleep(static_cast<useconds_t>(ms * 1000));
        return {};
    }
};

// The fixed messages of the client, each from the failure that raises it.
TEST(SockClientMessagesTest, FixedMessages) {
    PosixFileSys files;
    {
        ScriptedBackend failing;
        failing.failStartup = true;
        try {
            TSockClient c(failing, files);
            FAIL() << "created";
        } catch (const ESockError& e) {
            EXPECT_STREQ("Initializaton of windows sockets failed", e.what());
        }
    }
    struct Row {
        const char* name;
        bool lookUpHangs;
        bool connectHangs;
        bool cancel;  // cancelled from a wait instead of timing out
        const char* message;
    } rows[] = {
        {"look_up_timed_out", true, false, false, "Host Lookup Timed Out"},
        {"look_up_cancelled", true, false, true, "Host Lookup Canceled"},
        {"connection_timed_out", false, true, false, "Connection Timed out"},
        {"connection_cancelled", false, true, true, "Connection Canceled"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScriptedBackend backend;
        backend.lookUpHangs = r.lookUpHangs;
        backend.connectHangs = r.connectHangs;
        TSockClient c(backend, files);
        int turns = 0;  // lives as long as the wait that counts it
        if (r.cancel) {
            backend.onWait = [&] {
                if (++turns == 3) c.Abort();
            };
        } else {
            c.TimeOut = 50;
        }
        c.Host = r.lookUpHangs ? "name.test" : "127.0.0.1";
        c.Port = 9;
        try {
            c.Connect();
            FAIL() << "connected";
        } catch (const ESockError& e) {
            EXPECT_STREQ(r.message, e.what());
        }
        EXPECT_FALSE(c.Connected());
    }
}

// A capture that is cancelled while it waits for data ends with its message.
TEST_F(SockClientTest, CancelledCapture) {
    TestServer server("case #1\nhang\n");
    ScriptedBackend backend;
    TSockClient c(backend, files_);
    c.Host = "127.0.0.1";
    c.Port = server.port();
    c.Connect();
    int turns = 0;
    backend.onWait = [&] {
        if (++turns == 1) c.Abort();
    };
    try {
        c.CaptureFile(dir_ / "cancelled");
        FAIL() << "captured";
    } catch (const EAbortError& e) {
        EXPECT_STREQ("Socket send aborted", e.what());
    }
    c.Disconnect();
}

TEST(SockErrorTest, ErrorTexts) {
    struct Row {
        int code;
        const char* text;
    } rows[] = {{10061, "10061:Connection refused"},
                {11001, "11001:Host not found"},
                {10004, "10004:Interrupted system call"},
                {10093, "10093:Winsock not initialized"},
                {11004, "11004:Valid name, no data record of requested type"},
                {10072, "Unknown Error No. 10072"},
                {10090, "Unknown Error No. 10090"},
                {11005, "Unknown Error No. 11005"},
                {10010, "Unknown Error No. 10010"}};
    for (const Row& r : rows) EXPECT_EQ(r.text, SockErrorText(r.code)) << r.code;
    int described = 0;
    for (int code = 10000; code < 11100; ++code)
        if (*SockErrorDescription(code) != '\0') ++described;
    EXPECT_EQ(50, described);
    for (int code :
         {10004, 10009, 10013, 10014, 10022, 10024, 10091, 10092, 10093, 11001, 11002, 11003, 11004})
        EXPECT_NE('\0', *SockErrorDescription(code)) << code;
    for (int code = 10035; code <= 10071; ++code) EXPECT_NE('\0', *SockErrorDescription(code)) << code;
}

}  // namespace
}  // namespace nelkar
