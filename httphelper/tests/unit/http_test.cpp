// HttpGet against the scriptable server: request bytes, header capture, status test, faults.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>

#include "inet_conn.h"
#include "posix_files.h"
#include "posix_socket.h"
#include "test_server.h"

namespace nelkar {
namespace {

const char kCacheLines[] = "\r\nPragma: no-cache\r\nCache-Control: no-cache\r\n\r\n";

struct HttpCase {
    const char* name;
    bool proxy;
    std::string url;     // "@" stands for the server's dotted address in direct mode
    std::string script;  // the server's script
    bool expectResult;
    std::string expectRequest;              // "" when no request must arrive
    std::optional<std::string> expectBody;  // nullopt: the destination is not created
};

std::ostream& operator<<(std::ostream& o, const HttpCase& c) { return o << c.name; }

const std::string kOk = "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Type: text/plain\\r\\n\\r\\nbody\n";

// A direct exchange of 127.0.0.1/x, whose request arrives: the reply `script` sends gives
// `body`, or, where it fails, creates no destination.
HttpCase GetX(const char* name, std::string script, std::optional<std::string> body) {
    return {name, false, "@/x", std::move(script), body.has_value(), "GET /x HTTP/1.0\r\n\r\n", body};
}

std::vector<HttpCase> Cases() {
    std::string longLine(70000, 'a');
    return {
        {"direct_path", false, "@/games/list.dat", kOk, true, "GET /games/list.dat HTTP/1.0\r\n\r\n", "body"},
        {"direct_host_only", false, "@", kOk, true, "GET / HTTP/1.0\r\n\r\n", "body"},
        {"direct_host_and_slash", false, "@/", kOk, true, "GET / HTTP/1.0\r\n\r\n", "body"},
        {"direct_space_in_path", false, "@/a b", kOk, true, "GET /a b HTTP/1.0\r\n\r\n", "body"},
        {"proxy_absolute_url", true, "www.example.org/games/list.dat", kOk, true,
         std::string("GET http://www.example.org/games/list.dat HTTP/1.0") + kCacheLines, "body"},
        {"proxy_host_only", true, "www.example.org", kOk, true,
         std::string("GET http://www.example.org HTTP/1.0") + kCacheLines, "body"},
        {"proxy_port_in_host_stays", true, "host:81/x", kOk, true,
         std::string("GET http://host:81/x HTTP/1.0") + kCacheLines, "body"},
        {"direct_port_in_host_is_part_of_name", false, "127.0.0.1:81/x", kOk, false, "", std::nullopt},
        GetX("status_http11_ok", "case *\nsend HTTP/1.1 200 OK\\r\\n\\r\\nB\n", "B"),
        GetX("status_ok_other_case_fails", "case *\nsend HTTP/1.1 200 Ok\\r\\n\\r\\nB\n", std::nullopt),
        GetX("status_206_fails", "case *\nsend HTTP/1.1 206 Partial Content\\r\\n\\r\\nB\n", std::nullopt),
        GetX("status_404_with_body_fails",
             "case *\nsend HTTP/1.0 404 Not Found\\r\\n\\r\\n<html>missing</html>\n", std::nullopt),
        GetX("bare_lf_header", "case *\nsend HTTP/1.0 200 OK\\nServer: t\\n\\nline1\\r\\nline2\\n\n",
             "line1\r\nline2\n"),
        GetX("header_only_reply", "case *\nsend HTTP/1.0 200 OK\\r\\nServer: t\\r\\n\\r\\n\n", ""),
        // A reply that ends before the empty line of its header was cut short.
        GetX("header_without_empty_line", "case *\nsend HTTP/1.0 200 OK\\r\\nServer: t\\r\\n\n",
             std::nullopt),
        {"closes_at_once", false, "@/x", "case #1\nclose\n", false, "", std::nullopt},
        GetX("closes_after_request", "case *\nclose\n", std::nullopt),
        GetX("line_longer_than_buffer",
             "case *\nsend HTTP/1.0 200 OK\\r\\nX-Long: " + longLine + "\\r\\n\\r\\nbody\n", std::nullopt),
        GetX("status_line_cut", "case *\nsend HTTP/1.0 200 O\n", std::nullopt),
        GetX("header_cut_mid_line", "case *\nsend HTTP/1.0 200 OK\\r\\nX-Cut: ab\n", std::nullopt),
        // A body that ends before the length its header gives was cut short.
        GetX("body_shorter_than_announced",
             "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Length: 100\\r\\n\\r\\n0123456789\n", std::nullopt),
        GetX("body_cut_by_reset",
             "case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 200 0123456789abcdef0123456789abcdef\n"
             "sleep 0.2\nreset\n",
             std::nullopt),
        GetX("body_arrives_in_pieces",
             "case *\nsend HTTP/1.0 2\nsleep 0.05\nsend 00 OK\\r\\nA: 1\nsleep 0.05\n"
             "send \\r\\n\\r\\nab\nsleep 0.05\nsend cd\n",
             "abcd"),
        GetX("chunked_body_stored_as_received",
             "case *\nsend HTTP/1.1 200 OK\\r\\nTransfer-Encoding: "
             "chunked\\r\\n\\r\\n4\\r\\nabcd\\r\\n0\\r\\n\\r\\n\n",
             "4\r\nabcd\r\n0\r\n\r\n"),
    };
}

// A file that another program makes between the look at a name and the create: the first look
// at `late` misses it.
class LateFiles : public PosixFileSys {
public:
    std::string late;
    bool FileExists(const std::string& path) override {
        if (path != late) return PosixFileSys::FileExists(path);
        late.clear();
        return false;
    }
};

class HttpGetTest : public ::testing::TestWithParam<HttpCase> {
protected:
    void SetUp() override {
        internet_ = dir_ / "INTERNET";
        ASSERT_EQ(0, mkdir(internet_.c_str(), 0777));
    }
    std::unique_ptr<TInetConn> MakeConn(int port, bool proxy) {
        settings_.UseProxy = proxy;
        settings_.ProxyAddr = "127.0.0.1";
        settings_.ProxyPort = port;
        auto conn = std::make_unique<TInetConn>(backend_, files_, settings_, internet_ + "\\header.dat");
        conn->directPort = port;
        return conn;
    }

    ScratchDir dir_;
    std::string internet_;
    Settings settings_;
    PosixSocketBackend backend_;
    LateFiles files_;
};

TEST_P(HttpGetTest, Exchange) {
    const HttpCase& c = GetParam();
    TestServer server(c.script);
    auto conn = MakeConn(server.port(), c.proxy);
    std::string url = c.url;
    if (url[0] == '@') url = "127.0.0.1" + url.substr(1);
    std::string dest = internet_ + "\\reply.dat";
    EXPECT_EQ(c.expectResult, conn->HttpGet(url, dest));
    std::vector<std::string> requests = server.Requests();
    if (c.expectRequest.empty()) {
        for (const std::string& r : requests) EXPECT_EQ("", r);
    } else {
        ASSERT_EQ(1u, requests.size());
        EXPECT_EQ(c.expectRequest, requests[0]);
    }
    if (c.expectBody) {
        ASSERT_TRUE(Exists(internet_ + "/reply.dat"));
        EXPECT_EQ(*c.expectBody, ReadFile(internet_ + "/reply.dat"));
    } else {
        EXPECT_FALSE(Exists(internet_ + "/reply.dat"));
    }
    EXPECT_FALSE(Exists(internet_ + "/reply.dat.part")) << "temporary download left behind";
    if (c.expectResult) EXPECT_FALSE(Exists(internet_ + "/header.dat"));
    EXPECT_FALSE(conn->Connected());
}

INSTANTIATE_TEST_SUITE_P(Replies, HttpGetTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpGetTest, HeaderFileHoldsTheHeaderWithItsOwnLineEnds) {
    TestServer server("case *\nsend HTTP/1.0 404 Not Found\\r\\nA: 1\\nB: 2\\r\\n\\nbody\n");
    // Keep the header by failing to create the destination after the header was read: a
    // folder of two characters is not created.
    auto conn = MakeConn(server.port(), false);
    CwdGuard cwd(dir_.path());
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/x", "zz\\file.dat"));
    EXPECT_EQ("HTTP/1.0 404 Not Found\r\nA: 1\nB: 2\r\n\n", ReadFile(internet_ + "/header.dat"));
}

TEST_F(HttpGetTest, FailedTransferKeepsThePreviousFile) {
    TestServer server(
        "case /ok\nsend HTTP/1.0 200 OK\\r\\n\\r\\nnew\ncase *\nsend HTTP/1.0 404 Not Found\\r\\n\\r\\nerror "
        "page\n");
    auto conn = MakeConn(server.port(), false);
    std::string dest = internet_ + "/kept.dat";
    WriteFile(dest, "old");
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/missing", internet_ + "\\kept.dat"));
    EXPECT_EQ("old", ReadFile(dest));
    EXPECT_TRUE(conn->HttpGet("127.0.0.1/ok", internet_ + "\\kept.dat"));
    EXPECT_EQ("new", ReadFile(dest));
}

TEST_F(HttpGetTest, RefusedConnectionAndUnknownHostFail) {
    auto conn = MakeConn(FreePort(), false);
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/x", internet_ + "\\reply.dat"));
    EXPECT_FALSE(conn->HttpGet("no-such-host.invalid/x", internet_ + "\\reply.dat"));
    EXPECT_FALSE(Exists(internet_ + "/reply.dat"));
}

TEST_F(HttpGetTest, SecondExchangeAfterAFailureWhileReceiving) {
    TestServer server(
        "case #1\nread\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 100 0123456789\nsleep 0.2\nreset\n"
        "case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\nsecond\n");
    auto conn = MakeConn(server.port(), false);
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/first", internet_ + "\\reply.dat"));
    EXPECT_TRUE(conn->HttpGet("127.0.0.1/second", internet_ + "\\reply.dat"));
    EXPECT_EQ("second", ReadFile(internet_ + "/reply.dat"));
    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ("GET /second HTTP/1.0\r\n\r\n", server.Requests()[1]);
}

// Destination folders are created relative to the current folder; a missing folder of one
// or two characters is taken as present, so the file cannot be created.
TEST_F(HttpGetTest, DestinationFoldersAreCreated) {
    TestServer server(kOk);
    auto conn = MakeConn(server.port(), false);
    CwdGuard cwd(dir_.path());
    EXPECT_TRUE(conn->HttpGet("127.0.0.1/x", "maps\\extra\\file.dat"));
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/x", "ab\\extra\\file.dat"));
    EXPECT_EQ("body", ReadFile(dir_ / "maps/extra/file.dat"));
    EXPECT_FALSE(Exists(dir_ / "ab"));
}

// Whatever fails inside an exchange, memory included, the result is false: nothing escapes,
// the previous file stays, and the next exchange runs normally.
class FailingFiles : public PosixFileSys {
public:
    std::string failName;  // the file whose operation fails, by its last path component
    enum What { kCreate, kWrite, kReplace } what = kCreate;
    bool outOfMemory = false;

    std::unique_ptr<OutFile> Create(const std::string& path, Existing existing) override {
        if (Hits(path, kCreate)) Fail();
        auto out = PosixFileSys::Create(path, existing);
        if (!Hits(path, kWrite)) return out;
        struct Failing : OutFile {
            FailingFiles& fs;
            std::unique_ptr<OutFile> inner;
            Failing(FailingFiles& f, std::unique_ptr<OutFile> o) : fs(f), inner(std::move(o)) {}
            void Write(const char*, size_t) override { fs.Fail(); }
            void Flush() override {}
            void Close() override { inner->Close(); }
        };
        return std::make_unique<Failing>(*this, std::move(out));
    }
    MoveResult Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) override {
        if (Hits(to, kReplace)) Fail();
        return PosixFileSys::Replace(from, to, readOnly);
    }
    [[noreturn]] void Fail() {
        if (outOfMemory) throw std::bad_alloc();
        throw EFileError("refused");
    }

private:
    bool Hits(const std::string& path, What w) const {
        return w == what && path.substr(path.find_last_of("\\/") + 1) == failName;
    }
};

TEST(HttpGetFailureTest, NoExceptionLeavesHttpGet) {
    struct Row {
        const char* name;
        const char* file;
        FailingFiles::What what;
    } rows[] = {{"header_file_not_created", "header.dat", FailingFiles::kCreate},
                {"header_file_not_written", "header.dat", FailingFiles::kWrite},
                {"download_not_created", "kept.dat.part", FailingFiles::kCreate},
                {"download_not_written", "kept.dat.part", FailingFiles::kWrite},
                {"download_not_moved", "kept.dat", FailingFiles::kReplace}};
    TestServer server("case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\nnew\n");
    ScratchDir dir;
    PosixSocketBackend backend;
    Settings settings;
    for (bool outOfMemory : {false, true}) {
        for (const Row& r : rows) {
            SCOPED_TRACE(std::string(r.name) + (outOfMemory ? ", out of memory" : ""));
            FailingFiles files;
            files.failName = r.file;
            files.what = r.what;
            files.outOfMemory = outOfMemory;
            TInetConn conn(backend, files, settings, dir / "header.dat");
            conn.directPort = server.port();
            WriteFile(dir / "kept.dat", "old");
            bool result = true;
            EXPECT_NO_THROW(result = conn.HttpGet("127.0.0.1/x", dir / "kept.dat"));
            EXPECT_FALSE(result);
            EXPECT_EQ("old", ReadFile(dir / "kept.dat"));
            EXPECT_FALSE(Exists(dir / "kept.dat.part"));
            EXPECT_FALSE(conn.Connected());
            files.failName.clear();
            EXPECT_TRUE(conn.HttpGet("127.0.0.1/x", dir / "kept.dat"));
            EXPECT_EQ("new", ReadFile(dir / "kept.dat"));
        }
    }
}

// The names handed to Windows' ANSI calls must fit in 260 characters with their terminator;
// the temporary "NAME.part" is the longest, so a destination of more than 254 characters
// fails without a connection.
TEST_F(HttpGetTest, DestinationsLongerThanThePathLimitFail) {
    TestServer server(kOk);
    auto conn = MakeConn(server.port(), false);
    std::string fits = "ddd\\" + std::string(250, 'f');  // 254 characters, its .part 259
    std::string tooLong = fits + "g";
    CwdGuard cwd(dir_.path());
    EXPECT_TRUE(conn->HttpGet("127.0.0.1/x", fits));
    EXPECT_FALSE(conn->HttpGet("127.0.0.1/y", tooLong));
    EXPECT_EQ("body", ReadFile(dir_ / "ddd/" + std::string(250, 'f')));
    EXPECT_FALSE(Exists(dir_ / "ddd/" + std::string(250, 'f') + "g"));
    EXPECT_EQ(1u, server.Requests().size());
}

// A temporary name that a file or folder has already is another program's (a browser's
// unfinished download, a player's file): the download takes "NAME.part2" to "NAME.part9", and
// the other files stay as they were, also one made at the moment the download looks.
TEST_F(HttpGetTest, TemporaryNamesOfOthersStay) {
    const char* const suffixes[] = {".part",  ".part2", ".part3", ".part4", ".part5",
                                    ".part6", ".part7", ".part8", ".part9"};
    const std::string at254 =
        "ddd\\" + std::string(190, 'f') + "\\" + std::string(59, 'g');  // 254 characters
    struct Row {
        const char* name;
        std::string dest;
        int taken;  // the first names are taken
        bool folders, late, placed;
    } rows[] = {{"part_taken", "a.dat", 1, false, false, true},
                {"part_a_folder", "a.dat", 1, true, false, true},
                {"part_made_meanwhile", "a.dat", 1, false, true, true},
                {"eight_taken", "a.dat", 8, false, false, true},
                {"all_taken", "a.dat", 9, false, false, false},
                {"next_name_too_long", at254, 1, false, false, false}};  // .part fits 260, .part2 not
    TestServer server(kOk);
    auto conn = MakeConn(server.port(), false);
    CwdGuard cwd(dir_.path());
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        std::filesystem::create_directories(std::filesystem::path(PosixFileSys::Native(at254)).parent_path());
        const std::string dest = PosixFileSys::Native(r.dest);
        for (int i = 0; i < r.taken; ++i) {
            if (r.folders)
                ASSERT_EQ(0, mkdir((dest + suffixes[i]).c_str(), 0777));
            else
                WriteFile(dest + suffixes[i], "theirs");
        }
        files_.late = r.late ? r.dest + ".part" : "";
        EXPECT_EQ(r.placed, conn->HttpGet("127.0.0.1/x", r.dest));
        EXPECT_EQ(r.placed, Exists(dest) && ReadFile(dest) == "body");
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(i < r.taken, Exists(dest + suffixes[i])) << suffixes[i];
            if (i < r.taken && !r.folders) EXPECT_EQ("theirs", ReadFile(dest + suffixes[i]));
            if (i < r.taken) std::filesystem::remove_all(dest + suffixes[i]);
        }
        std::filesystem::remove_all("ddd");
        std::filesystem::remove(dest);
    }
}

// Windows refuses to replace a read-only file; a download clears the attribute first. The
// POSIX side plays a file without write bits as read-only, and refuses it the same way.
TEST_F(HttpGetTest, ReadOnlyDestinationIsReplaced) {
    TestServer server(kOk);
    auto conn = MakeConn(server.port(), false);
    std::string dest = dir_ / "readonly.dat";
    WriteFile(dest, "old");
    ASSERT_EQ(0, chmod(dest.c_str(), 0444));
    WriteFile(dir_ / "other.new", "x");
    EXPECT_EQ(MoveResult::kDenied, files_.Replace(dir_ / "other.new", dest, ReadOnlyTarget::kRefuse));
    EXPECT_EQ("old", ReadFile(dest));
    EXPECT_TRUE(conn->HttpGet("127.0.0.1/x", dest));
    EXPECT_EQ("body", ReadFile(dest));
}

TEST(HttpRequestTest, BuildRequestTargets) {
    Settings direct;
    direct.UseProxy = false;
    HttpTarget t = BuildRequest("host/games/list.dat", direct);
    EXPECT_EQ("host", t.host);
    EXPECT_EQ(80, t.port);
    EXPECT_EQ("GET /games/list.dat HTTP/1.0", t.request);
    Settings proxy;
    proxy.UseProxy = true;
    proxy.ProxyAddr = "cache.local";
    proxy.ProxyPort = 81;
    t = BuildRequest("host/games/list.dat", proxy);
    EXPECT_EQ("cache.local", t.host);
    EXPECT_EQ(81, t.port);
}

TEST(HttpRequestTest, StatusLines) {
    struct Row {
        const char* line;
        bool pass;
    } rows[] = {{"HTTP/1.0 200 OK", true},
                {"HTTP/1.1 200 OK", true},
                {"HTTP/1.1 200 Ok", false},
                {"HTTP/1.1 206 Partial Content", false},
                {"", false},
                {"HTTP/1.0 404 Not Found", false},
                {"HTTP/1.0 200 OKAY", true},
                {"HTTP/1.0  200 OK", true},
                {"HTTP/1.0 200OK", false}};
    for (const Row& r : rows) EXPECT_EQ(r.pass, StatusLinePasses(r.line)) << r.line;
    EXPECT_EQ("HTTP/1.0 200 OK", FirstLine("HTTP/1.0 200 OK\r\nA: b\r\n"));
    EXPECT_EQ("HTTP/1.0 200 OK", FirstLine("HTTP/1.0 200 OK\nA: b\n"));
    EXPECT_EQ("", FirstLine(""));
}

}  // namespace
}  // namespace nelkar
