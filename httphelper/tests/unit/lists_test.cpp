// List files: line ends when reading, CR LF when writing, crash-safe replacement.
#include <gtest/gtest.h>

#include <iostream>

#include "lists.h"
#include "posix_files.h"
#include "test_server.h"

namespace nelkar {
namespace {

TEST(ListsTest, SplitLinesAcceptsEveryLineEnd) {
    struct Row {
        std::string text;
        Lines lines;
    } rows[] = {{"", {}},
                {"a", {"a"}},
                {"a\r\n", {"a"}},
                {"a\nb", {"a", "b"}},
                {"a\rb\r", {"a", "b"}},
                {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
                {"\r\n", {""}},
                {"\n\n", {"", ""}},
                {"\r\r\n", {"", ""}},
                {"a\n\rb", {"a", "", "b"}},
                {" x \t\r\n", {" x \t"}}};
    for (const Row& r : rows) EXPECT_EQ(r.lines, SplitLines(r.text)) << r.text;
}

TEST(ListsTest, JoinLinesEndsEveryLineWithCrLf) {
    EXPECT_EQ("", JoinLines({}));
    EXPECT_EQ("a\r\n", JoinLines({"a"}));
    EXPECT_EQ("a\r\n\r\nb\r\n", JoinLines({"a", "", "b"}));
}

class RefusingReplace : public PosixFileSys {
public:
    MoveResult Replace(const std::string&, const std::string&, ReadOnlyTarget) override {
        return MoveResult::kFailed;
    }
};

TEST(ListsTest, WriteListReplacesAndFallsBackToRewriting) {
    ScratchDir dir;
    PosixFileSys fs;
    std::string path = dir / "upload.dat";
    WriteFile(path, "old\nlonger old content\n");
    WriteList(fs, path, {"x", "y"});
    EXPECT_EQ("x\r\ny\r\n", ReadFile(path));
    EXPECT_FALSE(Exists(TempNameFor(path)));

    RefusingReplace refusing;
    WriteList(refusing, path, {"z"});
    EXPECT_EQ("z\r\n", ReadFile(path));
    EXPECT_FALSE(Exists(TempNameFor(path)));
}

// Lists from the network: at most `maxBytes` in all and `maxLine` characters in a line.
TEST(ListsTest, CappedListBoundaries) {
    ScratchDir dir;
    PosixFileSys fs;
    struct Row {
        const char* name;
        std::string text;
        bool accepted;
    } rows[] = {
        {"exactly_the_size", "abcd\r\nefgh\r\n" + std::string(4, 'x'), true},  // 16 bytes
        {"one_byte_over", "abcd\r\nefgh\r\n" + std::string(5, 'x'), false},    // 17 bytes
        {"line_of_the_limit", "abcdefgh\nx", true},
        {"line_over_the_limit", "abcdefghi\nx", false},
        {"long_last_line_without_end", "ab\rabcdefghi", false},
        {"cr_only_lines", "abcdefgh\rabcdef\r", true},
        {"empty", "", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        WriteFile(dir / "list", r.text);
        Lines lines = {"kept"};
        EXPECT_EQ(r.accepted, ReadCappedList(fs, dir / "list", 16, 8, &lines));
        EXPECT_EQ(r.accepted ? SplitLines(r.text) : Lines{"kept"}, lines);
    }
    EXPECT_THROW(ReadCappedList(fs, dir / "missing", 16, 8, nullptr), EFileError);
}

// "postponed.dat" as requests: pairs of URL and attempt count, a last odd line kept where it
// is and never taken for a request, counts kept as written, and the lines written back in
// their order.
TEST(ListsTest, PostponedRequests) {
    PostponedList list(SplitLines("a.test/1\r\n1\nb.test/2\r\nfour\rorphan.test/x\r\n"));
    ASSERT_EQ(2u, list.size());
    EXPECT_EQ("a.test/1", list[0].url);
    EXPECT_EQ("1", list[0].attempts);
    EXPECT_EQ("b.test/2", list[1].url);
    EXPECT_EQ("four", list[1].attempts);
    EXPECT_EQ("a.test/1\r\n1\r\nb.test/2\r\nfour\r\norphan.test/x\r\n", JoinLines(list.lines()));

    list.SetAttempts(0, "2");
    EXPECT_EQ("a.test/1\r\n2\r\nb.test/2\r\nfour\r\norphan.test/x\r\n", JoinLines(list.lines()));
    list.Erase(1);
    EXPECT_EQ("a.test/1\r\n2\r\norphan.test/x\r\n", JoinLines(list.lines()));
    // A new request goes after every line of the file, the odd one included, as the queue
    // writes it.
    list.Append({"c.test/3", "1"});
    EXPECT_EQ("a.test/1\r\n2\r\norphan.test/x\r\nc.test/3\r\n1\r\n", JoinLines(list.lines()));
    EXPECT_EQ(2u, list.size());
}

// The update list: triples of URL, version tag and destination; of 7 lines two entries count
// and the seventh line is ignored.
TEST(ListsTest, UpdateEntries) {
    UpdateList list(SplitLines("f.test/1\r\nv1\r\none.dat\nf.test/2\r\n\r\nmaps\\two.dat\r\nf.test/3\r\n"));
    std::vector<std::string> seen;
    for (const UpdateEntry& e : list) seen.push_back(e.url + "|" + e.version + "|" + e.destination);
    EXPECT_EQ(std::vector<std::string>({"f.test/1|v1|one.dat", "f.test/2||maps\\two.dat"}), seen);
    EXPECT_EQ(0u, UpdateList(SplitLines("a\r\nb\r\n")).size());
}

// "downloaded.dat": a URL is listed by the first line equal to it in any letter case, the line
// after that holds its version (compared exactly), and recording a download changes only that
// line, adds it after a listing on the last line, or appends the whole entry.
TEST(ListsTest, DownloadedEntries) {
    struct Row {
        const char* name;
        std::string file;
        UpdateEntry entry;
        bool wanted;            // the version recorded differs or is missing
        std::string afterward;  // the file once the download is recorded
    } rows[] = {
        {"listed_in_other_case",
         "FILES.TEST/A\r\nv1\r\na.dat\r\n",
         {"files.test/a", "v1", "a.dat"},
         false,
         "FILES.TEST/A\r\nv1\r\na.dat\r\n"},
        {"version_differs_in_case",
         "f.test/a\r\nv1\r\na.dat\r\n",
         {"f.test/a", "V1", "new.dat"},
         true,
         "f.test/a\r\nV1\r\na.dat\r\n"},
        {"not_listed",
         "f.test/a\r\nv1\r\na.dat\r\n",
         {"f.test/b", "2", "b.dat"},
         true,
         "f.test/a\r\nv1\r\na.dat\r\nf.test/b\r\n2\r\nb.dat\r\n"},
        {"not_listed_after_lines_of_no_entry",
         "f.test/a\r\nv1\r\na.dat\r\nx\r\n",
         {"f.test/b", "2", "b.dat"},
         true,
         "f.test/a\r\nv1\r\na.dat\r\nx\r\nf.test/b\r\n2\r\nb.dat\r\n"},
        {"url_is_the_last_line",
         "f.test/a\r\nv1\r\na.dat\r\nf.test/b\r\n",
         {"f.test/b", "2", "b.dat"},
         true,
         "f.test/a\r\nv1\r\na.dat\r\nf.test/b\r\n2\r\n"},
        {"first_equal_line_at_any_position",
         "f.test/a\r\nf.test/b\r\na.dat\r\nf.test/b\r\n7\r\nb.dat\r\n",
         {"f.test/b", "7", "b.dat"},
         true,
         "f.test/a\r\nf.test/b\r\n7\r\nf.test/b\r\n7\r\nb.dat\r\n"},
        {"empty_file", "", {"f.test/a", "1", "a.dat"}, true, "f.test/a\r\n1\r\na.dat\r\n"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        DownloadedList list(SplitLines(r.file));
        DownloadedList::Listing listing = list.Find(r.entry.url);
        EXPECT_EQ(r.wanted, !list.HasVersion(listing, r.entry.version));
        list.Record(listing, r.entry);
        EXPECT_EQ(r.afterward, JoinLines(list.lines()));
    }
    DownloadedList list(SplitLines("f.test/a\r\nv1\r\nmaps\\a.dat\r\nrest\r\n"));
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ("f.test/a", list[0].url);
    EXPECT_EQ("v1", list[0].version);
    EXPECT_EQ("maps\\a.dat", list[0].destination);
}

// The game's own lists are not limited: reading one, dropping its first line and writing it
// back (what every request of the queue does) takes a small multiple of the file's size, also
// for lists of the shortest lines. Measured in a child process (see RunInChild).
TEST(ListsTest, MemoryOfLargeListsStaysNearTheirSize) {
    const size_t kSize = 8 << 20;
    struct Row {
        const char* name;
        std::string line;  // repeated to kSize bytes
    } rows[] = {{"one_byte_lines", "a\r\n"},
                {"empty_lines", "\n"},
                {"one_long_line", std::string(kSize - 2, 'u') + "\r\n"}};
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScratchDir dir;
        std::string text;
        text.reserve(kSize);
        while (text.size() < kSize) text += r.line;
        WriteFile(dir / "upload.dat", text);
        size_t lines = SplitLines(text).size();
        text = std::string();
        ChildRun run = RunInChild([&] {
            PosixFileSys fs;
            Lines list = ReadList(fs, dir / "upload.dat");
            list.erase(0);
            WriteList(fs, dir / "upload.dat", list);
            return std::to_string(list.size());
        });
        EXPECT_EQ(std::to_string(lines - 1), run.text);
        // Its text, and four bytes for the end of every line: five times the file at worst, for
        // lines that are nothing but their line end.
        EXPECT_LE(run.growthKib, static_cast<long>(6 * kSize / 1024)) << "peak memory growth in KiB";
        std::cout << r.name << ": " << kSize / 1024 << " KiB list, peak growth " << run.growthKib << " KiB\n";
    }
}

}  // namespace
}  // namespace nelkar
