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

using Contents = std::map<std::string, std::string>;                 // by file name
using Expected = std::map<std::string, std::optional<std::string>>;  // nullopt: must not exist
using Limits = std::map<std::string, uint64_t>;                      // bytes, by file name

struct HostileCase {
    const char* name;
    // kExchange: one HttpGet of 127.0.0.1/x into "dest.dat", which holds "previous".
    // kRun: a whole run; the update list is served at its path.
    enum Kind { kExchange, kRun } kind;
    std::string script;  // "$SERVED/" names the folder of `served`
    Contents served;
    Contents before;      // files of the game folder before the case
    std::string outcome;  // "true", "false", or the name of the run's end
    Expected after;
    Limits maxWritten;
    // Paths requested, in order (run cases); none where a request may end before the server
    // has read it.
    std::optional<std::vector<std::string>> requested;
    long maxGrowthKib = 8192;
    // The body limit of the exchange (kExchange).
    uint64_t maxBody = TInetConn::kNoBodyLimit;

    HostileCase(const char* name, Kind kind, std::string script, Contents before, std::string outcome,
                Expected after, Limits maxWritten)
        : name(name),
          kind(kind),
          script(std::move(script)),
          before(std::move(before)),
          outcome(std::move(outcome)),
          after(std::move(after)),
          maxWritten(std::move(maxWritten)) {}

    // The case with `files` served from a folder of their own (a reply sent as it is when the
    // script is empty).
    HostileCase Serving(Contents files) && {
        served = std::move(files);
        return std::move(*this);
    }
};

std::ostream& operator<<(std::ostream& o, const HostileCase& c) { return o << c.name; }

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

// The update list's reply: status 200 and `list`, in the server's escapes, as its body.
std::string ListReply(const std::string& list) { return "send HTTP/1.0 200 OK\\r\\n\\r\\n" + list + "\n"; }

HostileCase Exchange(const char* name, std::string script, std::string outcome, Expected after,
                     Limits maxWritten = {}, uint64_t maxBody = TInetConn::kNoBodyLimit) {
    HostileCase c(name, HostileCase::kExchange, std::move(script), {}, std::move(outcome), std::move(after),
                  std::move(maxWritten));
    c.maxBody = maxBody;
    return c;
}

// A run over empty exchange lists, save those in `lists`; the update list as `listCase` sends it.
HostileCase Run(const char* name, const std::string& listCase, const Contents& lists, std::string outcome,
                Expected after, std::optional<std::vector<std::string>> requested, Limits maxWritten = {},
                long maxGrowthKib = 8192) {
    Contents before = {
        {"INTERNET/upload.dat", ""}, {"INTERNET/postponed.dat", ""}, {"INTERNET/downloaded.dat", ""}};
    for (const auto& [file, content] : lists) before[file] = content;
    HostileCase c(name, HostileCase::kRun, ServeList(listCase), before, std::move(outcome), std::move(after),
                  std::move(maxWritten));
    c.requested = std::move(requested);
    c.maxGrowthKib = maxGrowthKib;
    return c;
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
    return Run("shared_table_names", ListReply(list), {}, "complete", {}, requested);
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
        Exchange("header_flood",
                 "case *\nsend HTTP/1.0 200 OK\\r\\n\nrepeat 5000 " + kHeaderFloodBlock + "\n", "false",
                 {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
                 {{"header.dat", 65536}, {"dest.dat.part", 0}}),
        Exchange("header_of_64k_passes", "", "true",
                 {{"dest.dat", "body"}, {"INTERNET/header.dat", std::nullopt}}, {{"header.dat", 65536}})
            .Serving({{"reply", header64k + "body"}}),
        Exchange("header_over_64k_fails", "", "false", {{"dest.dat", "previous"}},
                 {{"header.dat", 65536}, {"dest.dat.part", 0}})
            .Serving({{"reply", header64kPlus1 + "body"}}),
        // Replies cut short.
        Exchange("closes_before_blank_line", "case *\nsend HTTP/1.0 200 OK\\r\\nServer: t\\r\\n\n", "false",
                 {{"dest.dat", "previous"}}),
        Exchange("closes_inside_header_line", "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Ty\n", "false",
                 {{"dest.dat", "previous"}}),
        Exchange("body_short_of_content_length", OkWithBody("Content-Length: 100\\r\\n", "0123456789"),
                 "false", {{"dest.dat", "previous"}}),
        Exchange("body_cut_by_one_byte",
                 "case *\nsend HTTP/1.0 200 OK\\r\\ncontent-length: 1048576\\r\\n\\r\\n\nrepeat 1023 " +
                     std::string(1024, 'b') + "\nsend " + std::string(1023, 'b') + "\n",
                 "false", {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}}),
        Exchange("body_of_content_length",
                 "case *\nsend HTTP/1.0 200 OK\\r\\nContent-Length:  1048576 \\r\\n\\r\\n\nrepeat 1024 " +
                     std::string(1024, 'b') + "\n",
                 "true", {{"dest.dat", std::string(kMiB, 'b')}}, {{"dest.dat.part", kMiB}}),
        Exchange("conflicting_content_lengths",
                 OkWithBody("Content-Length: 4\\r\\nContent-Length: 10\\r\\n", "0123456789"), "false",
                 {{"dest.dat", "previous"}}),
        Exchange("content_length_not_a_number", OkWithBody("Content-Length: ten\\r\\n", "0123456789"),
                 "false", {{"dest.dat", "previous"}}),
        // Bodies at and over a limit: receiving stops at the limit, one byte past it reaches the
        // disk at most, and the previous file stays.
        Exchange("body_of_its_limit_passes", OkWithBody("", "0123456789"), "true",
                 {{"dest.dat", "0123456789"}}, {}, 10),
        Exchange("body_over_its_limit_fails", OkWithBody("", "0123456789a"), "false",
                 {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}}, {{"dest.dat.part", 11}}, 10),
        Exchange("endless_body_stops_at_its_limit",
                 "case *\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 65536 " + std::string(1024, 'e') + "\n",
                 "false", {{"dest.dat", "previous"}, {"dest.dat.part", std::nullopt}},
                 {{"dest.dat.part", kMiB + 1}}, kMiB),
        // Update lists too long, in all or in one line; a queued request too long.
        Run("update_list_of_1mib", "send HTTP/1.0 200 OK\\r\\n\\r\\n\nsendfile $SERVED/list\n", {},
            "complete",
            {{"ok.dat", "file body"},
             {"INTERNET/vmorlist.dat", std::nullopt},
             {"INTERNET/downloaded.dat", "127.0.0.1/f/ok\r\n1\r\nok.dat\r\n"}},
            {{kListPath, "/f/ok"}}, {}, 16384)
            .Serving({{"list", ListOfSize(kMiB)}}),
        Run("update_list_over_1mib", "send HTTP/1.0 200 OK\\r\\n\\r\\n\nsendfile $SERVED/list\n",
            {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n"}}, "no update list",
            {{"ok.dat", std::nullopt},
             {"INTERNET/vmorlist.dat", std::nullopt},
             {"INTERNET/downloaded.dat", ""},
             {"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n"}},
            {{kListPath}})
            .Serving({{"list", ListOfSize(kMiB + 1)}}),
        Run("update_list_of_64mib_is_not_received_past_1mib",
            "send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 65536 " + std::string(1024, 'l') + "\n", {},
            "no update list",
            {{"INTERNET/vmorlist.dat", std::nullopt}, {"INTERNET/vmorlist.dat.part", std::nullopt}},
            {{kListPath}}, {{"vmorlist.dat.part", kMiB + 1}}),
        // Its entry ("a", "a", "a") is recorded already: were the list read, no host "a" is looked up.
        Run("update_list_of_one_byte_lines",
            "send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 8192 " + Repeat("a\\r\\n", 1024) + "\n",
            {{"INTERNET/downloaded.dat", "a\r\na\r\na\r\n"}}, "no update list",
            {{"INTERNET/downloaded.dat", "a\r\na\r\na\r\n"}, {"INTERNET/vmorlist.dat", std::nullopt}},
            {{kListPath}}),
        Run("update_list_of_one_long_line",
            "send HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 16384 " + std::string(1024, 'z') + "\n", {},
            "no update list", {{"INTERNET/downloaded.dat", ""}}, {{kListPath}}),
        Run("update_list_line_of_4097", ListReply("127.0.0.1/f/ok\\r\\n" + longLine + "\\r\\nok.dat\\r\\n"),
            {}, "no update list", {{"ok.dat", std::nullopt}, {"INTERNET/downloaded.dat", ""}}, {{kListPath}}),
        Run("update_list_line_of_4096", ListReply("127.0.0.1/f/ok\\r\\n" + line4096 + "\\r\\nok.dat\\r\\n"),
            {}, "complete",
            {{"ok.dat", "file body"},
             {"INTERNET/downloaded.dat", "127.0.0.1/f/ok\r\n" + line4096 + "\r\nok.dat\r\n"}},
            {{kListPath, "/f/ok"}}),
        Run("queue_line_of_4097_is_postponed", "send HTTP/1.0 404 Not Found\\r\\n\\r\\n\n",
            {{"INTERNET/upload.dat", "127.0.0.1/" + longLine.substr(10) + "\r\n"}}, "no update list",
            {{"INTERNET/upload.dat", ""},
             {"INTERNET/postponed.dat", "127.0.0.1/" + longLine.substr(10) + "\r\n1\r\n"}},
            {{kListPath}}),
        // Destinations in the exchange folder; a count that is not a number; no header file.
        Run("destinations_in_the_exchange_folder",
            ListReply("127.0.0.1/a\\r\\n1\\r\\nINTERNET\\\\postponed.dat\\r\\n"
                      "127.0.0.1/b\\r\\n1\\r\\ninternet\\\\UPLOAD.DAT\\r\\n"
                      "127.0.0.1/c\\r\\n1\\r\\n.\\\\INTERNET\\\\.\\\\downloaded.dat\\r\\n"
                      "127.0.0.1/d\\r\\n1\\r\\nINTERNET/postponed.dat\\r\\n"
                      "127.0.0.1/e\\r\\n1\\r\\nINTERNET.\\\\postponed.dat\\r\\n"
                      "127.0.0.1/f\\r\\n1\\r\\nINTERNET \\\\postponed.dat\\r\\n"
                      "127.0.0.1/g\\r\\n1\\r\\nINTERNET\\r\\n"
                      "127.0.0.1/h\\r\\n1\\r\\nINTERNET\\\\sub\\\\x.dat\\r\\n"
                      "127.0.0.1/i\\r\\n1\\r\\nINTERN~1\\\\POSTPO~1.DAT\\r\\n"
                      "127.0.0.1/j\\r\\n1\\r\\nINTERNETS\\\\fine.dat\\r\\n"),
            {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n2\r\n"}}, "complete",
            {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n3\r\n"},
             {"INTERNET/upload.dat", ""},
             {"INTERNET/downloaded.dat", "127.0.0.1/j\r\n1\r\nINTERNETS\\fine.dat\r\n"},
             {"INTERNETS/fine.dat", "file body"},
             {"INTERNET/sub", std::nullopt},
             {"INTERNET./postponed.dat", std::nullopt},
             {"INTERNET /postponed.dat", std::nullopt}},
            {{kListPath, "/j", "/p"}}),
        Run("attempt_count_not_a_number", "send HTTP/1.0 200 OK\\r\\n\\r\\n\n",
            {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n1\r\n127.0.0.1/q\r\nfour\r\n"}}, "complete",
            {{"INTERNET/postponed.dat", "127.0.0.1/p\r\n2\r\n"}}, {{kListPath, "/q", "/p"}}),
        Run("header_file_cannot_be_created", "send HTTP/1.0 200 OK\\r\\n\\r\\n\n",
            {{"INTERNET/upload.dat", "127.0.0.1/q\r\n"}, {"INTERNET/header.dat/x", ""}}, "no update list",
            {{"INTERNET/upload.dat", ""}, {"INTERNET/postponed.dat", "127.0.0.1/q\r\n1\r\n"}}, std::nullopt),
        // Deep paths.
        Run("destination_at_the_path_limit",
            ListReply("127.0.0.1/deep\\r\\n1\\r\\n" + deepDest + "\\r\\n127.0.0.1/ok\\r\\n1\\r\\n" + deepOk +
                      "\\r\\n"),
            {}, "complete", {{"INTERNET/downloaded.dat", "127.0.0.1/ok\r\n1\r\n" + deepOk + "\r\n"}},
            {{kListPath, "/ok"}}),
        Run("destination_64k_deep", ListReply("127.0.0.1/deep\\r\\n1\\r\\n" + deep64k + "\\r\\n"), {},
            "no update list", {{"a", std::nullopt}}, {{kListPath}}),
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
    ChildRun r = RunInChild([&]() -> std::string {
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
    if (c.kind == HostileCase::kRun && c.requested) {
        std::vector<std::string> paths;
        for (const std::string& req : server.Requests()) {
            size_t sp = req.find(' ');
            size_t end = sp == std::string::npos ? sp : req.find(' ', sp + 1);
            paths.push_back(sp == std::string::npos ? req : req.substr(sp + 1, end - sp - 1));
        }
        EXPECT_EQ(*c.requested, paths);
    }
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileTest, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace nelkar
