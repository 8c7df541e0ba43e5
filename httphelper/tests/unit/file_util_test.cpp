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
    std::unique_ptr<OutFile> Create(const std::string&, Existing) override { return nullptr; }
    std::string ReadAll(const std::string&) override { return ""; }
    std::string ReadHead(const std::string&, size_t) override { return ""; }
    bool Remove(const std::string&) override { return false; }
    MoveResult Replace(const std::string&, const std::string&, ReadOnlyTarget) override {
        return MoveResult::kFailed;
    }
    MoveResult Move(const std::string&, const std::string&) override { return MoveResult::kFailed; }
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

// A path Windows' ANSI calls cannot take creates nothing, however deep: no call per level, no
// copy of the path per level.
TEST(CreateDirPathTest, NothingForAPathOfThePathLimit) {
    std::string below = "abc";
    for (int i = 0; i < 128; ++i) below += "\\a";  // 259 characters
    std::string atLimit = below + "b";
    std::string huge;
    for (int i = 0; i < 4096; ++i) huge += "abc\\";
    FakeDirs fs;
    CreateDirPath(fs, atLimit);
    CreateDirPath(fs, huge);
    EXPECT_TRUE(fs.created.empty());
    CreateDirPath(fs, below);
    ASSERT_EQ(129u, fs.created.size());  // "abc" and 128 levels of "a" below it
    EXPECT_EQ("abc", fs.created.front());
    EXPECT_EQ(below, fs.created.back());
}

// Both sides absolute: a destination resolved against the current folder, the exchange folder.
TEST(FilePathTest, PathWithinAFolder) {
    struct Row {
        const char* path;
        const char* folder;
        bool within;
    } rows[] = {
        {"C:\\Games\\VO\\INTERNET\\postponed.dat", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\INTERNET", "C:\\Games\\VO\\INTERNET", true},
        {"c:\\games\\vo\\internet\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\.\\INTERNET\\.\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\\\INTERNET\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:/Games/VO/INTERNET/x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\INTERNET.\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\INTERNET . .\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\INTERNET\\sub\\x", "C:\\Games\\VO\\INTERNET\\", true},
        {"C:\\Games\\VO\\maps\\..\\INTERNET\\x", "C:\\Games\\VO\\INTERNET", true},
        // Generated short names, on either side.
        {"C:\\Games\\VELTMA~1\\INTERNET\\x", "C:\\Games\\Veltmark Orvandel\\INTERNET", true},
        {"C:\\PROGRA~2\\Veltmark Orvandel\\INTERNET\\x", "C:\\Program Files\\Veltmark Orvandel\\INTERNET",
         true},
        {"C:\\Program Files\\VO\\INTERNET\\x", "C:\\PROGRA~1\\VO\\INTERNET", true},
        {"C:\\VO\\INTERN~1\\x", "C:\\VO\\INTERNET", true},
        {"C:\\VO\\X\\A.B~1.TXT", "C:\\VO\\X\\a.b.c.txt", false},
        {"C:\\VO\\X\\ABC~1.TXT", "C:\\VO\\X\\a.b.c.txt", true},
        {"C:\\VO\\X\\ABC~1.TX", "C:\\VO\\X\\a.b.c.txt", false},
        {"C:\\VO\\X\\FILE_~1", "C:\\VO\\X\\file+name", true},
        // Not within.
        {"C:\\Games\\VO\\INTERNETS\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO\\maps\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO", "C:\\Games\\VO\\INTERNET", false},
        {"D:\\Games\\VO\\INTERNET\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO\\INTER~1\\x", "C:\\Games\\VO\\INTERNET", true},
        {"C:\\Games\\VO\\INTERX~1\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO\\INTERN~0\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO\\INTERN~\\x", "C:\\Games\\VO\\INTERNET", false},
        {"C:\\Games\\VO\\INTERNE~1\\x", "C:\\Games\\VO\\INTERNET", false},
        {" C:\\Games\\VO\\INTERNET\\x", "C:\\Games\\VO\\INTERNET", false},
        {"/tmp/g/INTERNET/x", "/tmp/g/INTERNET", true},
        {"/tmp/g/internet./x", "/tmp/g/INTERNET", true},
        {"/tmp/g/x", "", false},
    };
    for (const Row& r : rows)
        EXPECT_EQ(r.within, PathIsWithin(r.path, r.folder)) << r.path << " in " << r.folder;
}

TEST(FilePathTest, ExtractFileDir) {
    struct Row {
        const char* name;
        const char* dir;
    } rows[] = {{"C:\\Games\\file.dat", "C:\\Games"}, {"C:\\file.dat", "C:\\"}, {"C:file.dat", "C:"},
                {"maps\\file.dat", "maps"},           {"file.dat", ""},         {"a\\b\\c\\", "a\\b\\c"},
                {"Z:\\tmp/x\\y.dat", "Z:\\tmp/x"}};
    for (const Row& r : rows) EXPECT_EQ(r.dir, ExtractFileDir(r.name)) << r.name;
}

}  // namespace
}  // namespace nelkar
