// Folder creation and the path rules, over a recording fake file system.
#include <gtest/gtest.h>

#include <set>

#include "file_util.h"

namespace nelkar {
namespace {

class FakeDirs : public FileSys {
 public:
  std::set<std::string> dirs;
  std::vector<std::string> created;
  bool DirExists(const std::string& p) override { return dirs.count(p) > 0; }
  bool CreateDir(const std::string& p) override {
    created.push_back(p);
    dirs.insert(p);
    return true;
  }
  bool FileExists(const std::string&) override { return false; }
  std::unique_ptr<OutFile> Create(const std::string&) override { return nullptr; }
  std::string ReadAll(const std::string&) override { return ""; }
  std::string ReadHead(const std::string&, size_t) override { return ""; }
  bool Remove(const std::string&) override { return false; }
  bool Replace(const std::string&, const std::string&, ReadOnlyTarget) override { return false; }
  std::string CurrentDir() override { return ""; }
  bool SameFile(const std::string&, const std::string&) override { return false; }
  std::unique_ptr<FileLock> Lock(const std::string&) override { return nullptr; }
};

TEST(CreateDirPathTest, CreatesMissingFoldersParentsFirst) {
  struct Row {
    const char* path;
    std::vector<std::string> existing;
    std::vector<std::string> created;
  } rows[] = {
      {"", {}, {}},
      {"maps\\extra", {}, {"maps", "maps\\extra"}},
      {"maps\\extra\\", {}, {"maps", "maps\\extra"}},
      {"maps\\extra", {"maps"}, {"maps\\extra"}},
      {"ab\\extra", {}, {"ab\\extra"}},  // "ab\" is shorter than three characters once stripped
      {"ab", {}, {}},
      {"abc", {}, {"abc"}},
      {"C:\\Games\\Veltmark", {}, {"C:\\Games", "C:\\Games\\Veltmark"}},
      {"C:\\Games\\Veltmark", {"C:\\Games\\Veltmark"}, {}},
      {"C:\\", {}, {}},
  };
  for (const Row& r : rows) {
    FakeDirs fs;
    fs.dirs.insert(r.existing.begin(), r.existing.end());
    CreateDirPath(fs, r.path);
    EXPECT_EQ(r.created, fs.created) << r.path;
  }
}

TEST(FilePathTest, ExtractFileDir) {
  struct Row {
    const char* name;
    const char* dir;
  } rows[] = {{"C:\\Games\\file.dat", "C:\\Games"},
              {"C:\\file.dat", "C:\\"},
              {"C:file.dat", "C:"},
              {"maps\\file.dat", "maps"},
              {"file.dat", ""},
              {"a\\b\\c\\", "a\\b\\c"},
              {"Z:\\tmp/x\\y.dat", "Z:\\tmp/x"}};
  for (const Row& r : rows) EXPECT_EQ(r.dir, ExtractFileDir(r.name)) << r.name;
}

TEST(FilePathTest, UnsafeDestinationsAreRefused) {
  struct Row {
    const char* path;
    bool safe;
  } rows[] = {
      {"maps\\new.map", true},
      {"file.dat", true},
      {"maps/new.map", true},
      {"..\\evil.exe", false},
      {"maps\\..\\..\\evil.exe", false},
      {"maps/../evil.exe", false},
      {"..", false},
      {"maps\\..", false},
      {"maps\\.. \\x", false},
      {"maps\\...\\x", false},
      {"..file.dat", true},
      {"file..dat", true},
      {".\\file.dat", true},
      {"\\Windows\\evil.exe", false},
      {"/etc/passwd", false},
      {"\\\\server\\share\\x", false},
      {"C:\\Windows\\evil.exe", false},
      {"C:evil.exe", false},
      {"file.dat:stream", false},
      {"", false},
  };
  for (const Row& r : rows) EXPECT_EQ(r.safe, IsSafeRelativePath(r.path)) << r.path;
}

}  // namespace
}  // namespace nelkar
