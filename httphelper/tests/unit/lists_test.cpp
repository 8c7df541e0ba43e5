// List files: line ends when reading, CR LF when writing, crash-safe replacement.
#include <gtest/gtest.h>

#include <iostream>

#include "lists.h"
#include "posix_files.h"
#include "test_server.h"

namespace nelkar {
namespace {

using nelkar_test::Exists;
using nelkar_test::ReadFile;
using nelkar_test::ScratchDir;

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
    bool Replace(const std::string&, const std::string&, ReadOnlyTarget) override { return false; }
};

TEST(ListsTest, WriteListReplacesAndFallsBackToRewriting) {
    ScratchDir dir;
    PosixFileSys fs;
    std::string path = dir / "upload.dat";
    nelkar_test::WriteFile(path, "old\nlonger old content\n");
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
        nelkar_test::WriteFile(dir / "list", r.text);
        Lines lines = {"kept"};
        EXPECT_EQ(r.accepted, ReadCappedList(fs, dir / "list", 16, 8, &lines));
        EXPECT_EQ(r.accepted ? SplitLines(r.text) : Lines{"kept"}, lines);
    }
    EXPECT_THROW(ReadCappedList(fs, dir / "missing", 16, 8, nullptr), EFileError);
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
        nelkar_test::WriteFile(dir / "upload.dat", text);
        size_t lines = SplitLines(text).size();
        text = std::string();
        nelkar_test::ChildRun run = nelkar_test::RunInChild([&] {
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
