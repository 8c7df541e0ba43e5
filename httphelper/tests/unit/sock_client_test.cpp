// TSockClient over POSIX sockets: line reading, sending limits, connection errors, waits.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "posix_files.h"
#include "posix_socket.h"
#include "sock_client.h"
#include "test_server.h"

namespace nelkar {
namespace {

// The client `c_` of the test server; a connection still open at the end of a test is closed.
class SockClientTest : public ::testing::Test {
protected:
    // Starts the test server with `script` and points the client at it.
    void Serve(const std::string& script) {
        server_.emplace(script);
        c_.Host = "127.0.0.1";
        c_.Port = server_->port();
    }
    void ServeConnected(const std::string& script) {
        Serve(script);
        c_.Connect();
    }
    void TearDown() override {
        if (c_.Connected()) c_.Disconnect();
    }

    PosixSocketBackend backend_;
    PosixFileSys files_;
    ScratchDir dir_;
    std::vector<std::string> seen_;  // status texts, where a test records them
    std::optional<TestServer> server_;
    TSockClient c_{backend_, files_};
};

TEST_F(SockClientTest, ReadLnJoinsALineSplitOverSeveralArrivals) {
    ServeConnected(
        "case #1\nsend HTTP/1.0\nsleep 0.05\nsend  200\nsleep 0.05\nsend  OK\\r\\nsecond line\\n"
        "rest\nsleep 0.05\nsend  of it\n");
    EXPECT_EQ("HTTP/1.0 200 OK\r\n", c_.ReadLn());
    EXPECT_EQ("second line\n", c_.ReadLn());
    // The bytes after the last LF stay for the capture.
    c_.CaptureFile(dir_ / "rest");
    EXPECT_EQ("rest of it", ReadFile(dir_ / "rest"));
    EXPECT_EQ(10u, c_.BytesReceived());
}

TEST_F(SockClientTest, ReadLnDropsAnUnfinishedLineAtTheEnd) {
    ServeConnected("case #1\nsend complete\\nunfinished\n");
    EXPECT_EQ("complete\n", c_.ReadLn());
    EXPECT_EQ("", c_.ReadLn());
}

TEST_F(SockClientTest, WriteSendsAtMost65535Bytes) {
    ServeConnected("case #1\nhang\n");
    EXPECT_NO_THROW(c_.Write(std::string(65535, 'x')));
    EXPECT_THROW(c_.Write(std::string(65536, 'x')), ESockError);
    // Writeln adds two bytes to the limit.
    EXPECT_NO_THROW(c_.Writeln(std::string(65533, 'x')));
    EXPECT_THROW(c_.Writeln(std::string(65534, 'x')), ESockError);
    // A zero byte ends the text.
    EXPECT_NO_THROW(c_.Write(std::string(70000, 'x').replace(10, 1, 1, '\0')));
}

TEST_F(SockClientTest, ConnectErrors) {
    ServeConnected("case #1\nhang\n");
    EXPECT_EQ("Already connected", ThrownText<ESockError>([&] { c_.Connect(); }));
    c_.Disconnect();

    c_.Host = "no-such-host.invalid";
    EXPECT_EQ("Null Remote Address", ThrownText<ESockError>([&] { c_.Connect(); }));

    c_.Host = "127.0.0.1";
    c_.Port = FreePort();
    EXPECT_EQ("Connection Failed", ThrownText<ESockError>([&] { c_.Connect(); }));
    // A fresh socket serves the next connection.
    c_.Port = server_->port();
    EXPECT_NO_THROW(c_.Connect());
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
    EXPECT_EQ("10061:Connection refused", ThrownText<ESockError>([&] { c.Connect(); }));
    EXPECT_FALSE(c.Connected());
    ASSERT_NO_THROW(c.Connect());
    EXPECT_EQ("hi\n", c.ReadLn());
    c.Disconnect();
}

TEST_F(SockClientTest, InvalidHostHandlerGetsOneMoreTry) {
    Serve("case #1\nhang\n");
    int asked = 0;
    c_.OnInvalidHost = [&] {
        ++asked;
        c_.Host = "127.0.0.1";
        return true;
    };
    c_.Host = "no-such-host.invalid";
    c_.Connect();
    EXPECT_EQ(1, asked);
}

TEST_F(SockClientTest, OnlyTheLowSixteenBitsOfThePortCount) {
    Serve("case #1\nsend hi\\n\n");
    c_.Port += 0x30000;
    c_.Connect();
    EXPECT_EQ("hi\n", c_.ReadLn());
}

TEST_F(SockClientTest, CaptureOnAClosedConnectionCreatesAnEmptyFile) {
    ServeConnected("case #1\nclose\n");
    c_.CaptureFile(dir_ / "empty");
    EXPECT_TRUE(Exists(dir_ / "empty"));
    EXPECT_EQ("", ReadFile(dir_ / "empty"));
}

// The close arrives together with the end of the connection attempt: the connection still
// counts as made and the reader sees its end.
TEST_F(SockClientTest, PeerThatClosesAtOnceStillConnects) {
    std::string script;
    for (int i = 1; i <= 20; ++i) script += "case #" + std::to_string(i) + "\nclose\n";
    Serve(script);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        ASSERT_NO_THROW(c_.Connect());
        EXPECT_EQ("", c_.ReadLn());
        c_.Disconnect();
    }
}

TEST_F(SockClientTest, StatusTextsFollowTheReportLevel) {
    Serve("case #1\nclose\n");
    c_.OnStatus = [&](const std::string& s) { seen_.push_back(s); };
    c_.ReportLevel = 0;
    c_.Connect();
    c_.Disconnect();
    EXPECT_TRUE(seen_.empty());
    c_.ReportLevel = 4;
    c_.Connect();
    c_.Disconnect();
    EXPECT_EQ(std::vector<std::string>({"Request Close Socket"}), seen_);
    seen_.clear();
    c_.ReportLevel = 8;
    c_.Connect();
    ASSERT_FALSE(seen_.empty());
    EXPECT_EQ("Connecting", seen_.front());
    EXPECT_EQ("Timer Off", seen_.back());
    EXPECT_EQ("Timer Off", c_.LastStatus());
}

// A silent server keeps the client waiting, but every turn of the wait blocks: a second of
// silence costs a handful of turns, not millions.
TEST_F(SockClientTest, WaitingForASilentServerDoesNotSpin) {
    ServeConnected("case #1\nsleep 1\nsend late\\n\n");
    uint64_t before = c_.WaitTurns();
    EXPECT_EQ("late\n", c_.ReadLn());
    EXPECT_LE(c_.WaitTurns() - before, 5u);
}

TEST_F(SockClientTest, TimeOutEndsAWaitWithAbort) {
    ServeConnected("case #1\nhang\n");
    c_.TimeOut = 200;
    EXPECT_EQ("Socket readln aborted", ThrownText<EAbortError>([&] { c_.ReadLn(); }));
}

// The status texts of a connection's life at report level 8, in order, as each operation
// reports them: its own name, the time limit switched on and off around its wait.
TEST_F(SockClientTest, StatusTextsOfAnExchange) {
    Serve("case #1\nsend line\\r\\n\nhang\n");
    c_.ReportLevel = 8;
    c_.OnStatus = [&](const std::string& s) { seen_.push_back(s); };
    c_.Connect();
    c_.Writeln("GET / HTTP/1.0");
    EXPECT_EQ("line\r\n", c_.ReadLn());
    c_.Disconnect();
    EXPECT_EQ(std::vector<std::string>({"Connecting", "Resolve Host", "Timer On", "Timer Off",  // Connect
                                        "Writeln", "Write", "Sending Buffer", "Timer On", "Timer Off",
                                        "ReadLn", "Timer On", "Timer Off",  //
                                        "Disconnecting", "Request Close Socket"}),
              seen_);

    // A time limit that passes: the timer fires, the operation is cancelled, the timer is off.
    seen_.clear();
    c_.Connect();
    seen_.clear();
    c_.TimeOut = 100;
    EXPECT_THROW(c_.ReadLn(), EAbortError);
    EXPECT_EQ(std::vector<std::string>(
                  {"ReadLn", "Timer On", "Timer Triggered", "Abort", "Canceling", "Timer Off"}),
              seen_);
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
        EXPECT_EQ("Initializaton of windows sockets failed",
                  ThrownText<ESockError>([&] { TSockClient c(failing, files); }));
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
        EXPECT_EQ(r.message, ThrownText<ESockError>([&] { c.Connect(); }));
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
    EXPECT_EQ("Socket send aborted", ThrownText<EAbortError>([&] { c.CaptureFile(dir_ / "cancelled"); }));
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
