// Hostile replies and lists, served by the scriptable server: floods, cut replies, oversized
// update lists, destinations aimed at the helper's own files, deep paths. Every case runs in a
// child process, whose peak memory growth is measured with getrusage (see RunInChild) and held
// to the case's limit, in the plain and in the ASan build alike.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "helper_run.h"
#include "inet_conn.h"
#include "name_table.h"
#include "posix_files.h"
#include "posix_socket.h"
#include "test_server.h"

namespace nelkar {
namespace {

using nelkar_test::Exists;
using nelkar_test::ReadFile;
using nelkar_test::ScratchDir;
using nelkar_test::TestServer;
using nelkar_test::WriteFile;

// Counts the bytes written to every file, by the file's own name.
class CountingFiles : public PosixFileSys {
public:
    std::map<std::string, uint64_t> written;
    std::unique_ptr<OutFile> Create(const std::string& path, Existing existing) override {
        std::string name = path.substr(path.find_last_of("\\/") + 1);
        return std::make_unique<Counting>(PosixFileSys::Create(path, existing), written[name]);
    }

private:
    class Counting : public OutFile {
    public:
        Counting(std::unique_ptr<OutFile> inner, uint64_t& count) : inner_(std::move(inner)), count_(count) {}
        void Write(const char* d, size_t n) override {
            inner_->Write(d, n);
            count_ += n;
        }
        void Flush() override { inner_->Flush(); }
        void Close() override { inner_->Close(); }

    private:
        std::unique_ptr<OutFile> inner_;
        uint64_t& count_;
    };
};

const char* RunEndName(RunEnd e) {
    switch (e) {
    case RunEnd::kLockFailed: return "lock failed";
    case RunEnd::kNoUpdateList: return "no update list";
    case RunEnd::kOutOfTime: return "out of time";
    case RunEnd::kComplete: return "complete";
    }
    return "?";
}

const std::string kListPath = "/games/Veltmark-OR/updates/vmorlist.dat";

struct HostileCase {
    const char* name;
    // kExchange: one HttpGet of 127.0.0.1/x into "dest.dat", which holds "previous".
    // kRun: a whole run; the update list is served at its path.
    enum Kind { kExchange, kRun } kind;
    std::string script;  // "$SERVED/" names the folder of `served`
    std::map<std::string, std::string> served;
    std::map<std::string, std::string> before;                // files of the game folder before the case
    std::string outcome;                                      // "true", "false", or the name of the run's end
    std::map<std::string, std::optional<std::string>> after;  // nullopt: must not exist
    std::map<std::string, uint64_t> maxWritten;               // by file name
    std::vector<std::string> requested;                       // paths requested, in order (run cases)
    long maxGrowthKib;
    // False where a request may end before the server has read it.
    bool requestsChecked = true;
    // The body limit of the exchange (kExchange).
    uint64_t maxBody = TInetConn::kNoBodyLimit;
};

std::ostream& operator<<(std::ostream& o, const HostileCase& c) { return o << c.name; }

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

// An update list of exactly `size` bytes: entries that all name one file, and up to two
// trailing lines that complete no entry.
std::string ListOfSize(size_t size) {
    const std::string entry = "127.0.0.1/f/ok\r\n1\r\nok.dat\r\n";
    size_t entries = (size - 8000) / entry.size();
    std::string list = Repeat(entry, entries);
    size_t rest = size - list.size();  // between 8000 and 8000 + entry size
    size_t first = rest / 2;
    list += std::string(first - 2, 'x') + "\r\n" + std::string(rest - first - 2, 'y') + "\r\n";
    return list;
}

const std::string kHeaderFloodBlock = Repeat("X-Flood: yes\\r\\n", 512);  // 7 KiB a block

std::string OkWithBody(const std::string& headerLines, const std::string& body) {
    return "case *\nsend HTTP/1.0 200 OK\\r\\n" + headerLines + "\\r\\n" + body + "\n";
}

// The update list as `listCase` sends it; /p and /q fail, every other file is "file body".
std::string ServeList(const std::string& listCase) {
    return "case " + kListPath + "\n" + listCase +
           "case /p\nsend HTTP/1.0 404 Not Found\\r\\n\\r\\n\n"
           "case /q\nsend HTTP/1.0 404 Not Found\\r\\n\\r\\n\n"
           "case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\nfile body\n";
}

const std::map<std::string, std::string> kEmptyLists = {
    {"INTERNET/upload.dat", ""}, {"INTERNET/postponed.dat", ""}, {"INTERNET/downloaded.dat", ""}};

std::map<std::string, std::string> With(std::map<std::string, std::string> m,
                                        const std::map<std::string, std::string>& more) {
    for (const auto& [k, v] : more) m[k] = v;
    return m;
}

// Every name of the shared table as an update-list destination: only the plain files are
// downloaded, the others fail without a request.
HostileCase SharedTableNames() {
    std::string list;
    std::vector<std::string> requested = {kListPath};
    int n = 0;
    for (const winnames::testing::NameRow& row : winnames::testing::ReadNameTable()) {
        std::string path = "/r" + std::to_string(++n);
        list += "127.0.0.1" + path + "\\r\\n1\\r\\n";
        for (unsigned char c : row.name) {  // as the server's escapes write it
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            list += c == '\\' ? std::string("\\\\") : c > ' ' && c < 0x7F ? std::string(1, c) : hex;
        }
        list += "\\r\\n";
        if (row.verdict == winnames::testing::NameRow::kFile) requested.push_back(path);
    }
    return {"shared_table_names", HostileCase::kRun, ServeList(OkWithBody("", list).substr(7)), {},
            kEmptyLists, "complete", {}, {}, requested, 8192};
}

std::vector<HostileCase> Cases() {
    const size_t kMiB = 1 << 20;
    // A header of exactly 64 KiB, blank line included: the status line, then filler lines.
    std::string status = "HTTP/1.0 200 OK\r\n";
    std::string fillerLine = "X-Fill: " + std::string(990, 'f') + "\r\n";  // 1000 bytes
    size_t fillLines = (65536 - status.size() - 2) / fillerLine.size();
    std::string header64k = status + Repeat(fillerLine, fillLines);
    size_t last = 65536 - 2 - header64k.size();  // the last filler line's length
    header64k += "X-Last: " + std::string(last - 10, 'l') + "\r\n" + "\r\n";
    std::string header64kPlus1 = header64k;
    header64kPlus1.insert(status.size(), "X-One: 1\r\n");
    header64kPlus1.erase(header64kPlus1.size() - 12, 9);  // keep the size + 1 byte
    std::string deepDest = "ddd\\";                       // a first folder of three characters is created
    while (deepDest.size() < 250) deepDest += "d\\";
    deepDest += "f.dat";  // 255 characters: its "f.dat.part" takes 260
    std::string deepOk = "ddd\\" + deepDest.substr(6);
    std::string deep64k;  // 65005 characters once the server has undone the escapes
    for (int i = 0; i < 32500; ++i) deep64k += "a\\\\";
    deep64k += "x.dat";
    std::string longLine(4097, 'v');
    std::string line4096(4096, 'v');

    std::vector<HostileCase> cases = {
        // Header lines without end, 35 MiB of them, and the header limit.
        {"header_flood",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\n\nrepeat 5000 " + kHeaderFloodBlock + "\n",
         {},
         {},
         "false",
         {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
         {{"header.dat", 65536}, {"dest.dat.part", 0}},
         {},
         8192},
        {"header_of_64k_passes",
         HostileCase::kExchange,
         "",
         {{"reply", header64k + "body"}},
         {},
         "true",
         {{"dest.dat", "body"}, {"INTERNET/header.dat", std::nullopt}},
         {{"header.dat", 65536}},
         {},
         8192},
        {"header_over_64k_fails",
         HostileCase::kExchange,
         "",
         {{"reply", header64kPlus1 + "body"}},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {{"header.dat", 65536}, {"dest.dat.part", 0}},
         {},
         8192},
        // Replies cut short.
        {"closes_before_blank_line",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\nServer: t\\r\\n\n",
         {},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {},
         {},
         8192},
        {"closes_inside_header_line",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Ty\n",
         {},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {},
         {},
         8192},
        {"body_short_of_content_length",
         HostileCase::kExchange,
         OkWithBody("Content-Length: 100\\r\\n", "0123456789"),
         {},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {},
         {},
         8192},
        {"body_cut_by_one_byte",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\ncontent-length: 1048576\\r\\n\\r\\n\nrepeat 1023 " +
             std::string(1024, 'b') + "\nsend " + std::string(1023, 'b') + "\n",
         {},
         {},
         "false",
         {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
         {},
         {},
         8192},
        {"body_of_content_length",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Length:  1048576 \\r\\n\\r\\n\nrepeat 1024 " +
             std::string(1024, 'b') + "\n",
         {},
         {},
         "true",
         {{"dest.dat", std::string(kMiB, 'b')}},
         {{"dest.dat.part", kMiB}},
         {},
         8192},
        {"conflicting_content_lengths",
         HostileCase::kExchange,
         OkWithBody("Content-Length: 4\\r\\nContent-Length: 10\\r\\n", "0123456789"),
         {},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {},
         {},
         8192},
        {"content_length_not_a_number",
         HostileCase::kExchange,
         OkWithBody("Content-Length: ten\\r\\n", "0123456789"),
         {},
         {},
         "false",
         {{"dest.dat", "previous"}},
         {},
         {},
         8192},
        // Bodies at and over a limit: receiving stops at the limit, one byte past it reaches the
        // disk at most, and the previous file stays.
        {"body_of_its_limit_passes",
         HostileCase::kExchange,
         OkWithBody("", "0123456789"),
         {},
         {},
         "true",
         {{"dest.dat", "0123456789"}},
         {},
         {},
         8192,
         true,
         10},
        {"body_over_its_limit_fails",
         HostileCase::kExchange,
         OkWithBody("", "0123456789a"),
         {},
         {},
         "false",
         {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
         {{"dest.dat.part", 11}},
         {},
         8192,
         true,
         10},
        {"endless_body_stops_at_its_limit",
         HostileCase::kExchange,
         "case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 65536 " + std::string(1024, 'e') + "\n",
         {},
         {},
         "false",
         {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
         {{"dest.dat.part", kMiB + 1}},
         {},
         8192,
         true,
         kMiB},
        // Update lists too long, in all or in one line; a queued request too long.
        {"update_list_of_1mib",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\nsendfile $SERVED/list\n"),
         {{"list", ListOfSize(kMiB)}},
         kEmptyLists,
         "complete",
         {{"ok.dat", "file body"},
          {"INTERNET/vmorlist.dat", std::nullopt},
          {"INTERNET/downloaded.dat", "127.0.0.1/f/ok\r\n1\r\nok.dat\r\n"}},
         {},
         {kListPath, "/f/ok"},
         16384},
        {"update_list_over_1mib",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\nsendfile $SERVED/list\n"),
         {{"list", ListOfSize(kMiB + 1)}},
         With(kEmptyLists, {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n"}}),
         "no update list",
         {{"ok.dat", std::nullopt},
          {"INTERNET/vmorlist.dat", std::nullopt},
          {"INTERNET/downloaded.dat", ""},
          {"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n"}},
         {},
         {kListPath},
         8192},
        {"update_list_of_64mib_is_not_received_past_1mib",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 65536 " + std::string(1024, 'l') + "\n"),
         {},
         kEmptyLists,
         "no update list",
         {{"INTERNET/vmorlist.dat", std::nullopt}, {"INTERNET/vmorlist.dat.part", std::nullopt}},
         {{"vmorlist.dat.part", kMiB + 1}},
         {kListPath},
         8192},
        {"update_list_of_one_byte_lines",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 8192 " + Repeat("a\\r\\n", 1024) + "\n"),
         {},
         // Its entry ("a", "a", "a") is recorded already: were the list read, no host "a" is looked up.
         With(kEmptyLists, {{"INTERNET/downloaded.dat", "a\r\na\r\na\r\n"}}),
         "no update list",
         {{"INTERNET/downloaded.dat", "a\r\na\r\na\r\n"}, {"INTERNET/vmorlist.dat", std::nullopt}},
         {},
         {kListPath},
         8192},
        {"update_list_of_one_long_line",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 16384 " + std::string(1024, 'z') + "\n"),
         {},
         kEmptyLists,
         "no update list",
         {{"INTERNET/downloaded.dat", ""}},
         {},
         {kListPath},
         8192},
        {"update_list_line_of_4097",
         HostileCase::kRun,
         ServeList(OkWithBody("", "127.0.0.1/f/ok\\r\\n" + longLine + "\\r\\nok.dat\\r\\n").substr(7)),
         {},
         kEmptyLists,
         "no update list",
         {{"ok.dat", std::nullopt}, {"INTERNET/downloaded.dat", ""}},
         {},
         {kListPath},
         8192},
        {"update_list_line_of_4096",
         HostileCase::kRun,
         ServeList(OkWithBody("", "127.0.0.1/f/ok\\r\\n" + line4096 + "\\r\\nok.dat\\r\\n").substr(7)),
         {},
         kEmptyLists,
         "complete",
         {{"ok.dat", "file body"},
          {"INTERNET/downloaded.dat", "127.0.0.1/f/ok\r\n" + line4096 + "\r\nok.dat\r\n"}},
         {},
         {kListPath, "/f/ok"},
         8192},
        {"queue_line_of_4097_is_postponed",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 404 Not Found\\r\\n\\r\\n\n"),
         {},
         With(kEmptyLists, {{"INTERNET/upload.dat", "127.0.0.1/" + longLine.substr(10) + "\r\n"}}),
         "no update list",
         {{"INTERNET/upload.dat", ""},
          {"INTERNET/postponed.dat", "127.0.0.1/" + longLine.substr(10) + "\r\n1\r\n"}},
         {},
         {kListPath},
         8192},
        // Destinations in the exchange folder; a count that is not a number; no header file.
        {"destinations_in_the_exchange_folder",
         HostileCase::kRun,
         ServeList(OkWithBody("",
                              "127.0.0.1/a\\r\\n1\\r\\nINTERNET\\\\postponed.dat\\r\\n"
                              "127.0.0.1/b\\r\\n1\\r\\ninternet\\\\UPLOAD.DAT\\r\\n"
                              "127.0.0.1/c\\r\\n1\\r\\n.\\\\INTERNET\\\\.\\\\downloaded.dat\\r\\n"
                              "127.0.0.1/d\\r\\n1\\r\\nINTERNET/postponed.dat\\r\\n"
                              "127.0.0.1/e\\r\\n1\\r\\nINTERNET.\\\\postponed.dat\\r\\n"
                              "127.0.0.1/f\\r\\n1\\r\\nINTERNET \\\\postponed.dat\\r\\n"
                              "127.0.0.1/g\\r\\n1\\r\\nINTERNET\\r\\n"
                              "127.0.0.1/h\\r\\n1\\r\\nINTERNET\\\\sub\\\\x.dat\\r\\n"
                              "127.0.0.1/i\\r\\n1\\r\\nINTERN~1\\\\POSTPO~1.DAT\\r\\n"
                              "127.0.0.1/j\\r\\n1\\r\\nINTERNETS\\\\fine.dat\\r\\n")
                       .substr(7)),
         {},
         With(kEmptyLists, {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n2\r\n"}}),
         "complete",
         {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n3\r\n"},
          {"INTERNET/upload.dat", ""},
          {"INTERNET/downloaded.dat", "127.0.0.1/j\r\n1\r\nINTERNETS\\fine.dat\r\n"},
          {"INTERNETS/fine.dat", "file body"},
          {"INTERNET/sub", std::nullopt},
          {"INTERNET./postponed.dat", std::nullopt},
          {"INTERNET /postponed.dat", std::nullopt}},
         {},
         {kListPath, "/j", "/p"},
         8192},
        {"attempt_count_not_a_number",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\n"),
         {},
         With(kEmptyLists, {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n127.0.0.1/q\r\nfour\r\n"}}),
         "complete",
         {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n2\r\n"}},
         {},
         {kListPath, "/q", "/p"},
         8192},
        {"header_file_cannot_be_created",
         HostileCase::kRun,
         ServeList("send HTTP/1.0 200 OK\\r\\n\\r\\n\n"),
         {},
         With(kEmptyLists, {{"INTERNET/upload.dat", "127.0.0.1/q\r\n"}, {"INTERNET/header.dat/x", ""}}),
         "no update list",
         {{"INTERNET/upload.dat", ""}, {"INTERNET/postponed.dat", "127.0.0.1/q\r\n1\r\n"}},
         {},
         {},
         8192,
         false},
        // Deep paths.
        {"destination_at_the_path_limit",
         HostileCase::kRun,
         ServeList(OkWithBody("", "127.0.0.1/deep\\r\\n1\\r\\n" + deepDest +
                                      "\\r\\n127.0.0.1/ok\\r\\n1\\r\\n" + deepOk + "\\r\\n")
                       .substr(7)),
         {},
         kEmptyLists,
         "complete",
         {{"INTERNET/downloaded.dat", "127.0.0.1/ok\r\n1\r\n" + deepOk + "\r\n"}},
         {},
         {kListPath, "/ok"},
         8192},
        {"destination_64k_deep",
         HostileCase::kRun,
         ServeList(OkWithBody("", "127.0.0.1/deep\\r\\n1\\r\\n" + deep64k + "\\r\\n").substr(7)),
         {},
         kEmptyLists,
         "no update list",
         {{"a", std::nullopt}},
         {},
         {kListPath},
         8192},
    };
    cases.push_back(SharedTableNames());
    return cases;
}

class HostileTest : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileTest, Case) {
    const HostileCase& c = GetParam();
    ScratchDir served;
    for (const auto& [name, content] : c.served) WriteFile(served / name, content);
    std::string script = c.script;
    for (size_t p; (p = script.find("$SERVED/")) != std::string::npos;)
        script.replace(p, 8, served.path() + "/");
    if (script.empty()) script = "case *\nsendfile " + served.path() + "/reply\n";
    TestServer server(script);

    ScratchDir game;
    const std::string inet = game / "INTERNET";
    std::filesystem::create_directories(inet);
    WriteFile(game / "dest.dat", "previous");
    for (const auto& [name, content] : c.before) {
        std::filesystem::create_directories(std::filesystem::path(game / name).parent_path());
        WriteFile(game / name, content);
    }

    std::map<std::string, uint64_t> written;
    nelkar_test::ChildRun r = nelkar_test::RunInChild([&]() -> std::string {
        if (chdir(game.path().c_str()) != 0) return "no chdir";
        CountingFiles files;
        PosixSocketBackend backend;
        Settings settings;
        TInetConn conn(backend, files, settings, inet + "\\header.dat");
        conn.directPort = server.port();
        std::string outcome;
        if (c.kind == HostileCase::kExchange) {
            outcome = conn.HttpGet("127.0.0.1/x", "dest.dat", c.maxBody) ? "true" : "false";
        } else {
            RunEnv env = ConnectedRunEnv(conn, files, inet, "127.0.0.1", [] { return 0u; });
            outcome = RunEndName(RunStages(env));
        }
        // The outcome, then the bytes written to each file, a line each.
        for (const auto& [name, n] : files.written) outcome += "\n" + name + "\n" + std::to_string(n);
        return outcome;
    });
    {
        std::istringstream in(r.text);
        std::string outcome, name, n;
        std::getline(in, outcome);
        while (std::getline(in, name) && std::getline(in, n)) written[name] = std::stoull(n);
        r.text = outcome;
    }

    std::ostringstream figures;
    figures << c.name << ": " << r.text << ", peak growth " << r.growthKib << " KiB, written:";
    for (const auto& [name, n] : written) figures << " " << name << "=" << n;
    std::cout << figures.str() << "\n";
    RecordProperty("figures", figures.str());

    EXPECT_EQ(c.outcome, r.text);
    EXPECT_GE(r.growthKib, 0);
    EXPECT_LE(r.growthKib, c.maxGrowthKib) << "peak memory growth in KiB";
    for (const auto& [name, content] : c.after) {
        if (!content) {
            EXPECT_FALSE(Exists(game / name)) << name << " exists";
        } else {
            EXPECT_TRUE(Exists(game / name)) << name << " is missing";
            std::string got = ReadFile(game / name);
            EXPECT_TRUE(got == *content)
                << name << ": " << got.size() << " bytes, starting with " << got.substr(0, 60);
        }
    }
    for (const auto& [name, limit] : c.maxWritten) {
        auto it = written.find(name);
        EXPECT_LE(it == written.end() ? 0 : it->second, limit) << "bytes written to " << name;
    }
    if (c.kind == HostileCase::kRun && c.requestsChecked) {
        std::vector<std::string> paths;
        for (const std::string& req : server.Requests()) {
            size_t sp = req.find(' ');
            size_t end = sp == std::string::npos ? sp : req.find(' ', sp + 1);
            paths.push_back(sp == std::string::npos ? req : req.substr(sp + 1, end - sp - 1));
        }
        EXPECT_EQ(c.requested, paths);
    }
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nelkar
