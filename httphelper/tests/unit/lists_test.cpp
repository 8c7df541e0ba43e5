// List files: line ends when reading, CR LF when writing, crash-safe replacement.
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace nelkar
