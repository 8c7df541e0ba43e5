// The extractor core: path rule, recognition, selection, decoding, errors and progress.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <tuple>

#include "memory_file_system.h"
#include "name_table.h"
#include "unzip.h"
#include "zip_builder.h"

namespace tessarin::testing {
namespace {

constexpr const char* kArchive = "C:\\Temp\\update.zip";
constexpr const char* kGame = "C:\\Game";

struct Outcome {
    std::vector<std::pair<int, int>> progress;
    std::vector<std::string> paths;  // OutputPath at each report
    std::vector<std::pair<std::string, std::string>> errors;
    std::vector<WriteRefusal::Kind> refusals;  // of each error
    std::vector<std::string> written;    // members written whole
    int count = -1;
};

// A game folder and temporary folder in memory, with the archive in place.
struct Fixture {
    MemoryFileSystem fs;
    TUnZIP unzip{fs};
    Fixture() { fs.folders = {"C:\\Temp", "C:\\Game"}; }
    Outcome Extract(const std::string& archive, const std::string& extractDir = kGame) {
        fs.AddFile(kArchive, archive);
        unzip.SetArchiveFile(kArchive);
        unzip.SetExtractDir(extractDir);
        unzip.FileSpec = {"*.*"};
        Outcome r;
        unzip.OnProgress = [&](uint8_t f, uint8_t a) {
            r.progress.emplace_back(f, a);
            r.paths.push_back(unzip.OutputPath());
        };
        unzip.OnError = [&](const std::string& n, const std::string& m, const WriteRefusal& why) {
            r.errors.emplace_back(n, m);
            r.refusals.push_back(why.kind);
        };
        unzip.OnWritten = [&](const std::string& path) { r.written.push_back(path); };
        r.count = unzip.Extract();
        return r;
    }
    const std::string& Content(const std::string& path) { return fs.files.at(path).data; }
};

// ---------------------------------------------------------------- path rule

struct PathCase {
    const char* extractDir;
    const char* fallback;
    const char* name;
    const char* expected;
};
std::ostream& operator<<(std::ostream& o, const PathCase& c) {
    return o << "[" << c.extractDir << "|" << c.fallback << "|" << c.name << "]";
}
class PathRule : public ::testing::TestWithParam<PathCase> {};
TEST_P(PathRule, BuildsOutputPath) {
    const PathCase& c = GetParam();
    EXPECT_EQ(BuildOutputPath(c.extractDir, c.fallback, c.name), c.expected);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, PathRule,
    ::testing::Values(PathCase{"C:\\Game\\", "", "ReadMe.txt", "C:\\Game\\ReadMe.txt"},
                      PathCase{"C:\\Game\\", "", "AI\\Denmark.dll", "C:\\Game\\AI\\Denmark.dll"},
                      PathCase{"C:\\Game\\", "", "Info\\images\\a.gif", "C:\\Game\\Info\\images\\a.gif"},
                      PathCase{"C:\\Game\\", "", "\\ReadMe.txt", "C:\\Game\\ReadMe.txt"},
                      PathCase{"C:\\Game\\", "", "D:\\Clans\\x.bmp", "C:\\Game\\Clans\\x.bmp"},
                      PathCase{"C:\\Game\\", "", "D:x.bmp", "C:\\Game\\x.bmp"},
                      // No drive: the folder is made absolute from the root.
                      PathCase{"Game\\", "", "a.txt", "\\Game\\a.txt"},
                      // ExtractDir empty: the archive's folder, else the current folder.
                      PathCase{"", "C:\\Temp\\", "AI\\x.dll", "C:\\Temp\\AI\\x.dll"},
                      PathCase{"", "C:\\Work", "x.dll", "C:\\Work\\x.dll"}));

TEST(Settings, SlashesAndTrailingBackslash) {
    MemoryFileSystem fs;
    TUnZIP u(fs);
    u.SetArchiveFile("C:/Temp/update.zip");
    EXPECT_EQ(u.ArchiveFile(), "C:\\Temp\\update.zip");
    u.SetExtractDir("C:/Game");
    EXPECT_EQ(u.ExtractDir(), "C:\\Game\\");
    u.SetExtractDir("C:\\Game\\");
    EXPECT_EQ(u.ExtractDir(), "C:\\Game\\");
    u.SetExtractDir("");
    EXPECT_EQ(u.ExtractDir(), "C:\\Temp\\");
}

TEST(Extract, EmptyInstallDirUnpacksIntoArchiveFolder) {
    Fixture f;
    Outcome r = f.Extract(BuildZip({{"AI/x.dll", "dll", 0}}).bytes, "");
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(f.Content("C:\\Temp\\AI\\x.dll"), "dll");
}

// ---------------------------------------------------------------- EnsureFolder

TEST(EnsureFolder, CreatesParentsFirst) {
    MemoryFileSystem fs;
    fs.folders = {"C:\\A"};
    EnsureFolder(fs, "C:\\A\\B\\C\\");
    EXPECT_EQ(fs.madeFolders, (std::vector<std::string>{"C:\\A\\B", "C:\\A\\B\\C"}));
    fs.madeFolders.clear();
    EnsureFolder(fs, "C:\\A\\B\\C");  // exists now
    EnsureFolder(fs, "");
    EnsureFolder(fs, "C:");
    EnsureFolder(fs, "C:\\");
    EXPECT_TRUE(fs.madeFolders.empty());
}

// ---------------------------------------------------------------- recognition

TEST(Recognition, EndRecordWithinLast2023Bytes) {
    // Comment of 2,001 bytes: the end record starts 2,023 bytes before the end.
    for (size_t comment : {0u, 100u, 2001u}) {
        SCOPED_TRACE(comment);
        Fixture f;
        Outcome r = f.Extract(BuildZip({{"a.txt", "hello", 0}}, std::string(comment, 'c')).bytes);
        EXPECT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::CentralDirectory);
        EXPECT_EQ(r.count, 1);
    }
    // 2,002 bytes: not found from the end; the local headers are walked instead.
    Fixture f;
    Outcome r = f.Extract(BuildZip({{"a.txt", "hello", 0}}, std::string(2002, 'c')).bytes);
    EXPECT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::LocalScan);
    EXPECT_EQ(r.count, 1);
    EXPECT_EQ(f.Content("C:\\Game\\a.txt"), "hello");
}

TEST(Recognition, BadCentralOrLocalSignatureFallsBackToLocalScan) {
    {
        BuiltZip z = BuildZip({{"Info/", "", 0, 0x10}, {"a.txt", "one", 0}});
        z.bytes[z.centralOffset] = 'X';
        Fixture f;
        Outcome r = f.Extract(z.bytes);
        EXPECT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::LocalScan);
        // Local scan knows no folder bit; the name's trailing "/" marks the folder entry.
        EXPECT_EQ(r.count, 1);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(f.Content("C:\\Game\\a.txt"), "one");
    }
    {
        ZipEntry bad{"a.txt", "one", 0};
        bad.badLocalSignature = true;
        Fixture f;
        EXPECT_THROW(f.Extract(BuildZip({bad}).bytes), EUnZipError);
        EXPECT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::NotZip);
    }
}

TEST(Recognition, FatalErrors) {
    struct Case {
        std::string archive;  // empty: no archive set
        bool present;
        const char* message;
    } cases[] = {
        {"", false, unzip_text::kFileNotFound},
        {kArchive, false, unzip_text::kErrorOpening},
        {kArchive, true, unzip_text::kInvalidArchive},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        MemoryFileSystem fs;
        if (c.present) fs.AddFile(kArchive, "This is plainly not an archive, only some text.");
        TUnZIP u(fs);
        u.SetArchiveFile(c.archive);
        u.SetExtractDir(kGame);
        u.FileSpec = {"*.*"};
        try {
            u.Extract();
            ADD_FAILURE() << "no error";
        } catch (const EUnZipError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

// ---------------------------------------------------------------- selection, real archiver

TEST(Selection, FolderAndVolumeEntriesSkipped) {
    Fixture f;
    Outcome r = f.Extract(BuildZip({{"Info/", "", 0, 0x10},
                                    {"LABEL", "", 0, 0x08},
                                    {"Info/images/", "", 0, 0x10},
                                    {"Info/images/p.gif", "GIF89a", 0},
                                    {"Autorecord/rec.dat", "", 8}})
                              .bytes);
    EXPECT_EQ(r.count, 2);
    EXPECT_EQ(f.fs.created,
              (std::vector<std::string>{"C:\\Game\\Info\\images\\p.gif", "C:\\Game\\Autorecord\\rec.dat"}));
    EXPECT_EQ(f.fs.files.at("C:\\Game\\Autorecord\\rec.dat").length, 0u);
    EXPECT_TRUE(f.fs.folders.count("C:\\Game\\Info\\images"));
    // The zero-length member reports only its start.
    EXPECT_EQ(r.progress, (std::vector<std::pair<int, int>>{{0, 0}, {100, 100}, {0, 100}}));
}

TEST(Selection, ArchiveMadeByZip) {
    std::ifstream in(std::string(INSTALLER_TEST_DATA) + "/sample.zip", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    Fixture f;
    Outcome r = f.Extract(ss.str());
    ASSERT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::CentralDirectory);
    EXPECT_EQ(r.count, 3);
    std::string page;
    for (int i = 1; i <= 60; ++i)
        page += "<p>Clan page line " + std::to_string(i) + ": Veltmark Orvandel update notes</p>\n";
    EXPECT_EQ(f.Content("C:\\Game\\Info\\page.htm"), page);
    EXPECT_EQ(f.Content("C:\\Game\\Info\\images\\pic.bmp"), "BM" + std::string(100, '0'));
    EXPECT_EQ(f.Content("C:\\Game\\ReadMe.txt"), "Read me first.\r\n");
    // 1997-01-03 10:20:30 as DOS date and time.
    EXPECT_EQ(f.fs.files.at("C:\\Game\\ReadMe.txt").dosTime, (0x2223u << 16) | 0x528Fu);
    EXPECT_TRUE(r.errors.empty());
}

// ---------------------------------------------------------------- decoding

class Sizes : public ::testing::TestWithParam<std::tuple<int, size_t>> {};
TEST_P(Sizes, StoredAndDeflatedRoundTripInBlocks) {
    auto [method, size] = GetParam();
    for (bool noise : {false, true}) {
        SCOPED_TRACE(noise ? "noise" : "text");
        std::string data = noise ? NoiseBytes(size) : TextBytes(size);
        Fixture f;
        Outcome r =
            f.Extract(BuildZip({{"Clans/Red/emblem.bmp", data, static_cast<uint16_t>(method)}}).bytes);
        EXPECT_EQ(r.count, 1);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(f.Content("C:\\Game\\Clans\\Red\\emblem.bmp"), data);
        size_t blocks = (size + 32767) / 32768;
        ASSERT_EQ(f.fs.writes.size(), blocks);
        for (size_t i = 0; i < blocks; ++i)
            EXPECT_EQ(f.fs.writes[i], i + 1 < blocks ? 32768u : size - 32768 * (blocks - 1));
        EXPECT_EQ(r.progress.size(), 1 + blocks);
        EXPECT_EQ(r.progress.back(), (std::pair<int, int>{size ? 100 : 0, size ? 100 : 0}));
    }
}
INSTANTIATE_TEST_SUITE_P(Cases, Sizes,
                         ::testing::Combine(::testing::Values(0, 8),
                                            ::testing::Values(size_t(0), size_t(1), size_t(32767),
                                                              size_t(32768), size_t(32769), size_t(65535),
                                                              size_t(65536), size_t(65537), size_t(200000))));

TEST(Decoding, PerMemberFailuresLeaveTheOthers) {
    std::string good = TextBytes(5000);
    std::string corrupt = RawDeflate(TextBytes(5000));
    corrupt[0] = static_cast<char>(0xFF);  // block type 3: invalid
    std::string truncated = RawDeflate(NoiseBytes(50000));
    truncated.resize(truncated.size() / 2);
    ZipEntry badCrc{"crc.txt", good, 8};
    badCrc.badCrc = true;
    ZipEntry bad{"bad.dat", TextBytes(5000), 8};
    bad.rawData = corrupt;
    bad.useRawData = true;
    ZipEntry cut{"cut.dat", NoiseBytes(50000), 8};
    cut.rawData = truncated;
    cut.useRawData = true;
    ZipEntry bzip{"bzip.dat", "x", 12};
    ZipEntry secret{"secret.txt", "x", 0};
    secret.flags = 1;
    ZipEntry climb{"../outside.txt", "x", 0};
    ZipEntry climb2{"Info/../../outside.txt", "x", 0};
    Fixture f;
    Outcome r =
        f.Extract(BuildZip({badCrc, bad, cut, bzip, secret, climb, climb2, {"last.txt", good, 8}}).bytes);

    ASSERT_EQ(r.errors.size(), 7u);
    EXPECT_EQ(r.errors[0], (std::pair<std::string, std::string>{"crc.txt", unzip_text::kCrcFailed}));
    EXPECT_EQ(r.errors[1].first, "bad.dat");
    EXPECT_EQ(r.errors[1].second, "invalid block type");
    EXPECT_EQ(r.errors[2], (std::pair<std::string, std::string>{"cut.dat", unzip_text::kTruncatedData}));
    EXPECT_EQ(r.errors[3], (std::pair<std::string, std::string>{"bzip.dat", unzip_text::kUnsupportedMethod}));
    EXPECT_EQ(r.errors[4],
              (std::pair<std::string, std::string>{"secret.txt", unzip_text::kUnsupportedMethod}));
    EXPECT_EQ(r.errors[5], (std::pair<std::string, std::string>{"../outside.txt", unzip_text::kUnsafeName}));
    EXPECT_EQ(r.errors[6].second, unzip_text::kUnsafeName);
    // A CRC failure keeps the file as written.
    EXPECT_EQ(f.Content("C:\\Game\\crc.txt"), good);
    // Members that cannot be decoded are refused before their destination is created.
    EXPECT_FALSE(f.fs.files.count("C:\\Game\\bzip.dat"));
    EXPECT_FALSE(f.fs.files.count("C:\\Game\\secret.txt"));
    EXPECT_EQ(f.Content("C:\\Game\\last.txt"), good);
    // Nothing lands outside the game folder; the climbing members are not counted.
    for (const std::string& p : f.fs.created) EXPECT_EQ(p.rfind("C:\\Game\\", 0), 0u) << p;
    EXPECT_FALSE(f.fs.files.count("C:\\outside.txt"));
    EXPECT_EQ(r.count, 6);
}

TEST(Decoding, InconsistentLocalHeaderSkipsMember) {
    // Recognition looks at the first entry's local header only; the second one is damaged.
    ZipEntry a{"a.txt", "aaa", 0};
    BuiltZip z2 = BuildZip({{"b.txt", "bbb", 0}, a});
    z2.bytes[z2.localOffsets[1]] = 'Q';
    Fixture f;
    Outcome r = f.Extract(z2.bytes);
    EXPECT_EQ(r.count, 1);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].second, unzip_text::kInconsistentLocal);
    EXPECT_EQ(f.Content("C:\\Game\\b.txt"), "bbb");
    EXPECT_FALSE(f.fs.files.count("C:\\Game\\a.txt"));
}

// ---------------------------------------------------------------- destinations

TEST(Destination, ReadOnlyReplacedLockedAndDeniedKept) {
    Fixture f;
    f.fs.AddFile("C:\\Game\\zorm.exe", "old game");
    f.fs.files["C:\\Game\\zorm.exe"].readOnly = true;
    f.fs.AddFile("C:\\Game\\nelkar.exe", "old helper");
    f.fs.files["C:\\Game\\nelkar.exe"].locked = true;
    f.fs.AddFile("C:\\Game\\clans.url", "old link");
    f.fs.files["C:\\Game\\clans.url"].denied = true;
    Outcome r = f.Extract(BuildZip({{"zorm.exe", "new game", 8},
                                    {"nelkar.exe", "new helper", 8},
                                    {"ReadMe.txt", "read", 0},
                                    {"clans.url", "new link", 0}})
                              .bytes);
    EXPECT_EQ(f.Content("C:\\Game\\zorm.exe"), "new game");
    EXPECT_FALSE(f.fs.files["C:\\Game\\zorm.exe"].readOnly);
    EXPECT_EQ(f.Content("C:\\Game\\nelkar.exe"), "old helper");
    EXPECT_EQ(f.Content("C:\\Game\\ReadMe.txt"), "read");
    EXPECT_EQ(f.Content("C:\\Game\\clans.url"), "old link");
    // The held and the denied file: "Error opening file", each with the system's reason;
    // every member was handed to writing, and only those written whole are reported so.
    std::vector<std::pair<std::string, std::string>> errors = {{"nelkar.exe", unzip_text::kErrorOpening},
                                                               {"clans.url", unzip_text::kErrorOpening}};
    EXPECT_EQ(r.errors, errors);
    EXPECT_EQ(r.refusals, (std::vector<WriteRefusal::Kind>{WriteRefusal::Kind::kInUse, WriteRefusal::Kind::kDenied}));
    EXPECT_EQ(r.written, (std::vector<std::string>{"C:\\Game\\zorm.exe", "C:\\Game\\ReadMe.txt"}));
    EXPECT_EQ(r.count, 4);
}

// What the update checks before it unpacks: the destinations Extract would write, in archive
// order, until the check stops; nothing is made meanwhile.
TEST(Destination, ListedWithoutWriting) {
    Fixture f;
    f.fs.AddFile(kArchive, BuildZip({{"a.txt", "a", 0},
                                     {"../evil.txt", "e", 0},
                                     {"AI/b.dll", std::string(100, 'b'), 8},
                                     {"Info/NUL.txt", "n", 0},
                                     {"AI/c.dll", "c", 0},
                                     {"d.txt", "d", 0}})
                               .bytes);
    f.unzip.SetArchiveFile(kArchive);
    f.unzip.SetExtractDir(kGame);
    f.unzip.FileSpec = {"*.*"};
    std::vector<std::string> seen;
    EXPECT_TRUE(f.unzip.ForEachDestination([&](const std::string& path, uint64_t size) {
        seen.push_back(path + " " + std::to_string(size));
        return path != "C:\\Game\\AI\\c.dll";
    }));
    EXPECT_EQ(seen,
              (std::vector<std::string>{"C:\\Game\\a.txt 1", "C:\\Game\\AI\\b.dll 100", "C:\\Game\\AI\\c.dll 1"}));
    EXPECT_TRUE(f.fs.created.empty());
    EXPECT_TRUE(f.fs.madeFolders.empty());
}

TEST(Destination, WriteFailureReported) {
    Fixture f;
    f.fs.failWritesAfter = 40000;
    Outcome r = f.Extract(BuildZip({{"big.dat", NoiseBytes(70000), 0}, {"small.dat", "s", 0}}).bytes);
    ASSERT_EQ(r.errors.size(), 1u);
    EXPECT_EQ(r.errors[0].second, unzip_text::kErrorWriting);
    EXPECT_EQ(f.fs.files.at("C:\\Game\\big.dat").length, 32768u);
    EXPECT_EQ(f.Content("C:\\Game\\small.dat"), "s");
}

TEST(Destination, TimesAndAttributes) {
    ZipEntry plain{"plain.txt", "p", 0};
    ZipEntry ro{"ro.txt", "r", 0, 0x21};
    ro.dosDateTime = 0x3A214C00;  // 2009-01-01 09:32:00
    ZipEntry unix{"unix.txt", "u", 0, 0x81A40000};
    unix.madeBy = 0x031E;
    Fixture f;
    f.Extract(BuildZip({plain, ro, unix}).bytes);
    EXPECT_FALSE(f.fs.files.at("C:\\Game\\plain.txt").attributesSet);
    EXPECT_EQ(f.fs.files.at("C:\\Game\\plain.txt").dosTime, 0x2223528Fu);
    EXPECT_EQ(f.fs.files.at("C:\\Game\\ro.txt").attributes, 0x21u);
    EXPECT_TRUE(f.fs.files.at("C:\\Game\\ro.txt").readOnly);
    EXPECT_EQ(f.fs.files.at("C:\\Game\\ro.txt").dosTime, 0x3A214C00u);
    // A Unix mode in the high word is not a DOS attribute.
    EXPECT_EQ(f.fs.files.at("C:\\Game\\unix.txt").attributes, 0u);
}

// Reported, so that an update that wrote nothing is not taken as done.
TEST(Destination, NotEnoughSpaceOnRemovableDriveWritesNothing) {
    Fixture f;
    f.fs.drive = {true, true, 1000, 1, "A:\\"};
    Outcome r = f.Extract(BuildZip({{"a.txt", "small", 0}, {"b.dat", NoiseBytes(1000), 0}}).bytes);
    EXPECT_EQ(r.count, 0);
    EXPECT_TRUE(f.fs.created.empty());
    EXPECT_EQ(r.errors, (std::vector<std::pair<std::string, std::string>>{{"b.dat", "Not enough disk space"}}));
    // A fixed drive has no such rule.
    Fixture g;
    g.fs.drive = {true, false, 1000, 1, "C:\\"};
    EXPECT_EQ(g.Extract(BuildZip({{"b.dat", NoiseBytes(1000), 0}}).bytes).count, 1);
}

// ---------------------------------------------------------------- progress

TEST(Progress, PercentRoundsHalfToEven) {
    struct {
        int64_t done, total;
        int expected;
    } cases[] = {{0, 0, 0},     {5, 0, 0},     {5, -1, 0},        {-1, 10, 0}, {1, 8, 12},
                 {3, 8, 38},    {5, 200, 2},   {7, 200, 4},       {1, 3, 33},  {2, 3, 67},
                 {10, 10, 100}, {11, 10, 100}, {32768, 40000, 82}};
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPercent(c.done, c.total), c.expected) << c.done << "/" << c.total;
}

TEST(Progress, SequenceOfSmallArchive) {
    // 40,000 stored + 0 + 30,000 deflated = 70,000 bytes.
    Fixture f;
    Outcome r = f.Extract(
        BuildZip(
            {{"a.dat", NoiseBytes(40000), 0}, {"Autorecord/rec.dat", "", 0}, {"c.txt", TextBytes(30000), 8}})
            .bytes);
    std::vector<std::pair<int, int>> expected = {
        {0, 0},      // a.dat starts
        {82, 47},    // 32,768 / 40,000 = 81.92 %; 32,768 / 70,000 = 46.81 %
        {100, 57},   // 40,000 / 70,000 = 57.14 %
        {0, 57},     // rec.dat: only its start
        {0, 57},     // c.txt starts
        {100, 100},  // 30,000 bytes in one block
    };
    EXPECT_EQ(r.progress, expected);
    EXPECT_EQ(r.paths[0], "C:\\Game\\a.dat");
    EXPECT_EQ(r.paths[3], "C:\\Game\\Autorecord\\rec.dat");
}

// ---------------------------------------------------------------- hostile shapes

// Every name of the shared table as a member of one archive: the unsafe ones fail alone
// before anything of theirs is made, the others land below the game folder.
TEST(Hostile, NamesOfTheSharedTable) {
    std::vector<ZipEntry> entries;
    std::vector<std::pair<std::string, std::string>> refused;
    int accepted = 0;
    for (const winnames::testing::NameRow& row : winnames::testing::ReadNameTable()) {
        entries.emplace_back(row.name, "data", 0);
        if (row.verdict == winnames::testing::NameRow::kUnsafe)
            refused.emplace_back(row.name, "Unsafe file name");
        else
            ++accepted;
    }
    Fixture f;
    Outcome r = f.Extract(BuildZip(entries).bytes);
    EXPECT_EQ(r.errors, refused);
    EXPECT_EQ(r.count, accepted);
    EXPECT_EQ(f.fs.created.size(), static_cast<size_t>(accepted));
    for (const std::string& path : f.fs.created) EXPECT_EQ(path.rfind("C:\\Game\\", 0), 0u) << path;
    // Each folder made holds a file that was written.
    for (const std::string& folder : f.fs.madeFolders) {
        bool used = false;
        for (const std::string& path : f.fs.created) used = used || path.rfind(folder + "\\", 0) == 0;
        EXPECT_TRUE(used) << folder;
    }
}

TEST(Hostile, DestinationPathLimit) {
    // "C:\Game\" is 8 characters; MAX_PATH holds 259 of them and the terminator.
    struct {
        std::string name;
        bool written;
    } cases[] = {
        {std::string(251, 'n'), true},                                 // 259 characters
        {std::string(252, 'n'), false},                                // 260
        {std::string(120, 'd') + "/" + std::string(130, 'f'), true},   // 259, one folder
        {std::string(120, 'd') + "/" + std::string(131, 'f'), false},  // 260: not even the folder
        {std::string(300, 'd') + "/f.txt", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.size());
        Fixture f;
        Outcome r = f.Extract(BuildZip({{c.name, "data", 0}, {"ok.txt", "ok", 0}}).bytes);
        EXPECT_EQ(f.Content("C:\\Game\\ok.txt"), "ok");
        if (c.written) {
            EXPECT_TRUE(r.errors.empty());
            EXPECT_EQ(r.count, 2);
            EXPECT_EQ(f.fs.created.size(), 2u);
        } else {
            ASSERT_EQ(r.errors.size(), 1u);
            EXPECT_EQ(r.errors[0].second, "File name too long");
            EXPECT_EQ(r.count, 1);
            EXPECT_EQ(f.fs.created, (std::vector<std::string>{"C:\\Game\\ok.txt"}));
            EXPECT_TRUE(f.fs.madeFolders.empty());
        }
    }
}

TEST(Hostile, OutputStopsAtDeclaredSize) {
    struct {
        const char* what;
        uint16_t method;
        std::string data;
        int64_t declared;
        size_t written;  // bytes that reach the file
        bool fails;
    } cases[] = {
        {"deflated as declared", 8, TextBytes(100000), -1, 100000, false},
        {"deflated, declares 10", 8, TextBytes(100000), 10, 10, true},
        {"deflated, declares one block", 8, TextBytes(100000), 32768, 32768, true},
        {"deflated, declares a block and a bit", 8, TextBytes(100000), 40000, 40000, true},
        {"deflated, declares 0", 8, TextBytes(5), 0, 0, true},
        {"stored, declares 10", 0, NoiseBytes(1000), 10, 10, true},
        {"deflated, declares more than it holds", 8, TextBytes(100), 200, 100, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZipEntry e{"big.dat", c.data, c.method};
        e.declaredSize = c.declared;
        Fixture f;
        Outcome r = f.Extract(BuildZip({e, {"ok.txt", "ok", 8}}).bytes);
        EXPECT_EQ(f.Content("C:\\Game\\big.dat"), c.data.substr(0, c.written));
        EXPECT_EQ(f.Content("C:\\Game\\ok.txt"), "ok");
        if (c.fails) {
            ASSERT_EQ(r.errors.size(), 1u);
            EXPECT_EQ(r.errors[0],
                      (std::pair<std::string, std::string>{"big.dat", "File larger than its declared size"}));
        } else {
            EXPECT_TRUE(r.errors.empty() || r.errors[0].second == unzip_text::kCrcFailed);
        }
        for (const auto& p : r.progress) EXPECT_LE(p.first, 100);
    }
}

TEST(Hostile, OverlappingMembersRefused) {
    // inner.txt lies whole inside the stored data of outer.dat.
    ZipEntry inner{"inner.txt", TextBytes(3000), 8};
    std::string innerBytes = LocalMember(inner);
    ZipEntry outer{"outer.dat", "head" + innerBytes + "tail", 0};
    std::string outerBytes = LocalMember(outer);
    const uint32_t innerAt = 30 + 9 + 4;  // outer's header, name, "head"
    ZipEntry other{"other.txt", "after", 0};
    std::string body = outerBytes + LocalMember(other);
    const uint32_t otherAt = static_cast<uint32_t>(outerBytes.size());
    ZipEntry twin = outer;
    twin.name = "twin.dat";  // its own central name, pointing at outer's header
    ZipEntry longer = outer;
    longer.name = "longer.dat";
    longer.rawData = outerBytes.substr(30 + 9) + "xx";  // claims two bytes of other's header
    longer.useRawData = true;
    struct Record {
        ZipEntry entry;
        uint32_t offset;
    };
    struct {
        const char* what;
        std::vector<Record> records;
        std::vector<std::string> refused;  // central names, in order
        std::vector<std::string> written;
    } cases[] = {
        {"same header twice",
         {{outer, 0}, {twin, 0}, {other, otherAt}},
         {"twin.dat"},
         {"outer.dat", "other.txt"}},
        {"header inside earlier data",
         {{outer, 0}, {inner, innerAt}, {other, otherAt}},
         {"inner.txt"},
         {"outer.dat", "other.txt"}},
        {"data around earlier header",
         {{inner, innerAt}, {outer, 0}, {other, otherAt}},
         {"outer.dat"},
         {"inner.txt", "other.txt"}},
        {"data into next header", {{longer, 0}, {other, otherAt}}, {"other.txt"}, {"outer.dat"}},
        {"next header first", {{other, otherAt}, {longer, 0}}, {"longer.dat"}, {"other.txt"}},
        {"adjacent members", {{outer, 0}, {other, otherAt}}, {}, {"outer.dat", "other.txt"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::string central;
        for (const Record& rec : c.records) central += CentralRecord(rec.entry, rec.offset);
        Fixture f;
        Outcome r = f.Extract(body + central + EndRecord(c.records.size(), central.size(), body.size()));
        std::vector<std::string> refused;
        for (const auto& e : r.errors)
            if (e.second == "File data overlaps another member") refused.push_back(e.first);
        EXPECT_EQ(refused, c.refused);
        std::vector<std::string> written;
        for (const std::string& p : f.fs.created)
            written.push_back(p.substr(std::string("C:\\Game\\").size()));
        EXPECT_EQ(written, c.written);
    }
}

TEST(Hostile, ReplacesHiddenSystemAndReadOnlyFiles) {
    // The memory file system refuses, as Windows does, to replace such a file until the
    // attributes are cleared.
    struct {
        uint32_t attributes;
        bool readOnly;
    } cases[] = {{0x22, false}, {0x24, false}, {0x27, true}, {0x21, true}, {0x20, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.attributes);
        Fixture f;
        f.fs.AddFile("C:\\Game\\zorm.exe", "old game");
        f.fs.files["C:\\Game\\zorm.exe"].attributes = c.attributes;
        f.fs.files["C:\\Game\\zorm.exe"].readOnly = c.readOnly;
        Outcome r = f.Extract(BuildZip({{"zorm.exe", "new game", 8}}).bytes);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(f.Content("C:\\Game\\zorm.exe"), "new game");
        EXPECT_EQ(f.fs.files["C:\\Game\\zorm.exe"].attributes, c.attributes & ~0x07u);
    }
    // A member shipped hidden and system is replaced by the next update.
    Fixture f;
    f.Extract(BuildZip({{"AI/Denmark.dll", "first", 8, 0x26}}).bytes);
    EXPECT_EQ(f.fs.files["C:\\Game\\AI\\Denmark.dll"].attributes, 0x26u);
    Outcome r = f.Extract(BuildZip({{"AI/Denmark.dll", "second", 8, 0x26}}).bytes);
    EXPECT_TRUE(r.errors.empty());
    EXPECT_EQ(f.Content("C:\\Game\\AI\\Denmark.dll"), "second");
    EXPECT_EQ(f.fs.files["C:\\Game\\AI\\Denmark.dll"].attributes, 0x26u);
}

TEST(Hostile, OnlyTheDosAttributeByteOfAnyHost) {
    struct {
        uint16_t madeBy;
        uint32_t external;
        uint32_t expected;  // 0x20 alone leaves the attributes as created
    } cases[] = {
        {0x0014, 0x00000021, 0x21}, {0x0314, 0x81A40001, 0x01}, {0x0A14, 0x00200021, 0x21},
        {0x0B14, 0x12340022, 0x22}, {0x1314, 0x81ED0000, 0x00}, {0x0614, 0xFFFF0020, 0x20},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.madeBy);
        ZipEntry e{"a.txt", "a", 0, c.external};
        e.madeBy = c.madeBy;
        Fixture f;
        f.Extract(BuildZip({e}).bytes);
        const auto& file = f.fs.files.at("C:\\Game\\a.txt");
        EXPECT_EQ(file.attributes, c.expected);
        EXPECT_EQ(file.attributesSet, c.expected != 0x20);
    }
}

TEST(Hostile, LocalScanFindsDataDescriptors) {
    // No central directory: members whose CRC and sizes follow their data.
    auto member = [](const std::string& name, const std::string& data, uint16_t method, bool sizesInHeader) {
        ZipEntry e{name, data, method};
        if (sizesInHeader) return LocalMember(e);
        e.flags = 0x0008;
        std::string stored = e.Stored();
        std::string l = LocalMember(e);
        // The header's CRC and sizes are zero when they follow the data.
        std::fill(l.begin() + 14, l.begin() + 26, '\0');
        return l;
    };
    auto descriptor = [](const std::string& data, uint16_t method, bool signature) {
        ZipEntry e{"", data, method};
        std::string d;
        if (signature) Put32(d, 0x08074b50);
        Put32(d, e.Crc());
        Put32(d, static_cast<uint32_t>(e.Stored().size()));
        Put32(d, static_cast<uint32_t>(data.size()));
        return d;
    };
    std::string text = TextBytes(20000), noise = NoiseBytes(70000, 99);
    // Stored data holding a descriptor signature that does not match its position.
    std::string decoy = "abcd" + descriptor("xyz", 0, true) + "def";
    std::string last = member("last.txt", "last", 8, true);
    struct {
        const char* what;
        std::string archive;
        std::vector<std::string> written;
        std::vector<std::string> refused;
    } cases[] = {
        {"signed descriptors",
         member("a.txt", text, 8, false) + descriptor(text, 8, true) + member("b.bin", noise, 0, false) +
             descriptor(noise, 0, true) + last,
         {"a.txt", "b.bin", "last.txt"},
         {}},
        {"unsigned descriptors, the last at the end of the file",
         member("a.txt", text, 8, false) + descriptor(text, 8, false) + member("b.bin", noise, 8, false) +
             descriptor(noise, 8, false),
         {"a.txt", "b.bin"},
         {}},
        {"empty member",
         member("e.dat", "", 8, false) + descriptor("", 8, true) + last,
         {"e.dat", "last.txt"},
         {}},
        {"decoy signature in stored data",
         member("d.bin", decoy, 0, false) + descriptor(decoy, 0, true) + last,
         {"d.bin", "last.txt"},
         {}},
        {"descriptor missing",
         member("a.txt", text, 8, false) + member("b.bin", noise, 8, false) + descriptor(noise, 8, true) +
             last,
         {"b.bin", "last.txt"},
         {"a.txt"}},
        {"descriptor with a wrong size",
         member("a.txt", text, 8, false) + descriptor(text + "x", 0, true) + last,
         {"last.txt"},
         {"a.txt"}},
        {"descriptor missing at the end", member("a.txt", text, 8, false), {}, {"a.txt"}},
    };
    // Stored members whose descriptor lies around the end of the first 64 KiB read, which
    // starts with the 35 bytes of the member's header and name.
    for (size_t size : {65480u, 65485u, 65486u, 65490u, 65497u, 65500u, 65501u, 65502u, 65520u, 65536u}) {
        std::string data = NoiseBytes(size, static_cast<uint32_t>(size));
        for (bool signature : {true, false}) {
            std::string archive = member("s.bin", data, 0, false) + descriptor(data, 0, signature) + last;
            Fixture f;
            Outcome r = f.Extract(archive);
            SCOPED_TRACE(std::to_string(size) + (signature ? " signed" : " unsigned"));
            EXPECT_TRUE(r.errors.empty());
            EXPECT_EQ(f.fs.created, (std::vector<std::string>{"C:\\Game\\s.bin", "C:\\Game\\last.txt"}));
            EXPECT_TRUE(f.fs.files["C:\\Game\\s.bin"].data == data);
        }
    }
    {
        // Many small members: the walk reads the archive about once in pass 1 and once in
        // pass 2, not a buffer's worth per member.
        std::string archive;
        for (int i = 0; i < 2000; ++i) {
            std::string data = "member " + std::to_string(i);
            archive +=
                member("m" + std::to_string(i) + ".txt", data, 0, false) + descriptor(data, 0, i % 2 == 0);
        }
        Fixture f;
        Outcome r = f.Extract(archive);
        EXPECT_EQ(r.count, 2000);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(f.Content("C:\\Game\\m1999.txt"), "member 1999");
        EXPECT_LT(f.fs.bytesRead, 3 * archive.size());
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Fixture f;
        Outcome r = f.Extract(c.archive);
        EXPECT_EQ(f.unzip.Kind(), TUnZIP::ArchiveKind::LocalScan);
        std::vector<std::string> written, refused;
        for (const std::string& p : f.fs.created)
            written.push_back(p.substr(std::string("C:\\Game\\").size()));
        for (const auto& e : r.errors) {
            EXPECT_EQ(e.second, "Missing data descriptor");
            refused.push_back(e.first);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(refused, c.refused);
        if (std::find(written.begin(), written.end(), "a.txt") != written.end())
            EXPECT_EQ(f.Content("C:\\Game\\a.txt"), text);
        if (std::find(written.begin(), written.end(), "b.bin") != written.end())
            EXPECT_EQ(f.Content("C:\\Game\\b.bin"), noise);
    }
}

TEST(Hostile, Zip64SizesAndOtherExtraFields) {
    // An extended-timestamp block as archivers on Unix write it: ID "UT", 5 bytes.
    std::string timestamp("UT\x05\x00\x03\xee\xf1\x17\x6b", 9);
    std::vector<ZipEntry> entries = {{"a.txt", TextBytes(50000), 8},
                                     {"b.bin", NoiseBytes(3000), 0},
                                     {"c.txt", "", 8},
                                     {"d.txt", "plain", 0}};
    entries[0].zip64 = entries[1].zip64 = entries[2].zip64 = true;
    entries[1].extra = timestamp;
    entries[3].extra = timestamp;
    BuiltZip z = BuildZip(entries);
    std::string localOnly = z.bytes.substr(0, z.centralOffset);
    for (const std::string& archive : {z.bytes, localOnly}) {
        SCOPED_TRACE(archive.size() == z.bytes.size() ? "central directory" : "local headers only");
        Fixture f;
        Outcome r = f.Extract(archive);
        EXPECT_TRUE(r.errors.empty());
        EXPECT_EQ(r.count, 4);
        for (const ZipEntry& e : entries) EXPECT_EQ(f.Content("C:\\Game\\" + e.name), e.data);
        // The totals are the real sizes: the archive's progress ends at 100.
        EXPECT_EQ(f.unzip.ArchiveTotal(), 53005);
        EXPECT_EQ(r.progress.back(), (std::pair<int, int>{100, 100}));
    }
}

// A file system that runs out of memory at a chosen call.
class FailingFileSystem : public MemoryFileSystem {
public:
    int failCreate = 0;      // 1-based Create call that throws; 0: none
    int failConversion = 0;  // likewise for OemNameToAnsi
    std::unique_ptr<OutFile> Create(const std::string& path) override {
        if (++creates_ == failCreate) throw std::bad_alloc();
        return MemoryFileSystem::Create(path);
    }
    std::string OemNameToAnsi(const std::string& name) override {
        if (++conversions_ == failConversion) throw std::bad_alloc();
        return name;
    }

private:
    int creates_ = 0, conversions_ = 0;
};

TEST(Hostile, FailureOutsideAMemberLeavesExtract) {
    struct {
        const char* what;
        int failCreate, failConversion;
        std::vector<std::string> written;
    } cases[] = {
        {"pass 2, second file", 2, 0, {"C:\\Game\\a.txt"}},
        {"pass 1, second name", 0, 2, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FailingFileSystem fs;
        fs.folders = {"C:\\Temp", "C:\\Game"};
        fs.failCreate = c.failCreate;
        fs.failConversion = c.failConversion;
        fs.AddFile(kArchive, BuildZip({{"a.txt", "a", 0}, {"b.txt", "b", 0}, {"c.txt", "c", 0}}).bytes);
        TUnZIP u(fs);
        u.SetArchiveFile(kArchive);
        u.SetExtractDir(kGame);
        u.FileSpec = {"*.*"};
        EXPECT_THROW(u.Extract(), std::bad_alloc);
        EXPECT_EQ(fs.created, c.written);
    }
}

}  // namespace
}  // namespace tessarin::testing
