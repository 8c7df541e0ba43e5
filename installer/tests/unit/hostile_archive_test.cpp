// The extractor against the hostile archives of data/hostile (made by make_hostile.py there):
// what it writes and refuses, and its peak memory, each run in a child process.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "memory_file_system.h"
#include "unzip.h"

namespace tessarin::testing {
namespace {

// Peak memory a case may add, measured as the child's peak resident size (getrusage's
// ru_maxrss) less its resident size when the case starts. Not an address-space limit: the
// sanitizer build reserves terabytes of address space but stays resident within this.
constexpr long kPeakGrowthLimitKiB = 64 * 1024;

long ResidentKiB() {
    long pages = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Runs body in a child process, whose failed expectations fail the test, and checks the
// growth of its peak resident memory against the limit.
void InChildWithinMemoryLimit(const std::function<void()>& body) {
    std::fflush(stdout);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::close(fds[0]);
        long start = ResidentKiB();
        body();
        struct rusage ru {};
        ::getrusage(RUSAGE_SELF, &ru);
        long growth = ru.ru_maxrss - start;
        if (::write(fds[1], &growth, sizeof growth) != static_cast<ssize_t>(sizeof growth)) std::_Exit(3);
        std::fflush(stdout);
        std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    ::close(fds[1]);
    long growth = -1;
    ssize_t got = ::read(fds[0], &growth, sizeof growth);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "the case died, signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "expectations failed in the case (above)";
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof growth));
    EXPECT_LT(growth, kPeakGrowthLimitKiB);
    std::printf("peak memory growth %ld KiB\n", growth);
}

std::string ReadData(const std::string& name) {
    std::ifstream in(std::string(INSTALLER_TEST_DATA) + "/hostile/" + name, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

using Errors = std::vector<std::pair<std::string, std::string>>;  // member name, message

struct Unpacking {
    MemoryFileSystem fs;
    Errors errors;  // the first 100
    size_t errorCount = 0;
    int count = -1;

    explicit Unpacking(std::map<std::string, std::string> existing = {}) {
        fs.folders = {"C:\\Temp", "C:\\Game"};
        for (const auto& [path, data] : existing) fs.AddFile(path, data);
    }
    void Extract(const std::string& archive) {
        fs.AddFile("C:\\Temp\\update.zip", archive);
        TUnZIP unzip(fs);
        unzip.SetArchiveFile("C:\\Temp\\update.zip");
        unzip.SetExtractDir("C:\\Game");
        unzip.FileSpec = {"*.*"};
        unzip.OnError = [&](const std::string& n, const std::string& m, const WriteRefusal&) {
            if (++errorCount <= 100) errors.emplace_back(n, m);
        };
        count = unzip.Extract();
    }
    uint64_t BytesWritten() const {
        uint64_t n = 0;
        for (size_t w : fs.writes) n += w;
        return n;
    }
    const std::string& Content(const std::string& path) const {
        return fs.files.at("C:\\Game\\" + path).data;
    }
};

std::vector<std::string> Game(std::vector<std::string> names) {
    for (std::string& n : names) n = "C:\\Game\\" + n;
    return names;
}

TEST(HostileArchive, DeepName) {
    std::string archive = ReadData("deep_name.zip");
    ASSERT_GT(archive.size(), 65535u);
    InChildWithinMemoryLimit([&] {
        Unpacking r;
        r.Extract(archive);
        ASSERT_EQ(r.errors.size(), 1u);
        EXPECT_EQ(r.errors[0].first.size(), 65535u);
        EXPECT_EQ(r.errors[0].second, "File name too long");
        EXPECT_EQ(r.fs.created, Game({"ok.txt"}));
        EXPECT_TRUE(r.fs.madeFolders.empty());
        EXPECT_EQ(r.Content("ok.txt"), "still installed\r\n");
    });
}

TEST(HostileArchive, FolderChainOf32767Levels) {
    // EnsureFolder itself, with the path the deep name would give: 32,767 levels.
    class Counting : public FileSystem {
    public:
        long made = 0;
        size_t lastLength = 0;
        bool ordered = true;  // every folder longer than the one before: parents first
        std::unique_ptr<InFile> OpenRead(const std::string&) override { return nullptr; }
        std::unique_ptr<OutFile> Create(const std::string&) override { return nullptr; }
        WriteRefusal LastCreateRefusal() override { return WriteRefusal::Denied(""); }
        WriteRefusal CheckWritable(const std::string&) override { return WriteRefusal(); }
        bool HasReadOnlyHiddenOrSystem(const std::string&) override { return false; }
        void ClearReadOnlyHiddenSystem(const std::string&) override {}
        bool FolderExists(const std::string& path) override { return path == "C:\\Game"; }
        WriteRefusal MakeFolder(const std::string& path) override {
            ordered = ordered && path.size() > lastLength;
            lastLength = path.size();
            ++made;
            return WriteRefusal();
        }
        void SetAttributes(const std::string&, uint32_t) override {}
        DriveInfo ExamineDrive(const std::string&) override { return {}; }
        std::string CurrentFolder() override { return {}; }
        std::string TempFolder() override { return {}; }
        std::unique_ptr<HeldFile> CreateHeld(const std::string&) override { return nullptr; }
        bool RemoveFile(const std::string&) override { return false; }
        WriteRefusal RemoveBelow(const std::string&, const std::string&) override { return WriteRefusal(); }
    };
    std::string path = "C:\\Game";
    for (int i = 0; i < 32767; ++i) path += "\\a";
    InChildWithinMemoryLimit([&] {
        Counting fs;
        EnsureFolder(fs, path + "\\");
        EXPECT_EQ(fs.made, 32767);
        EXPECT_TRUE(fs.ordered);
        EXPECT_EQ(fs.lastLength, path.size());
    });
}

TEST(HostileArchive, SizeBomb) {
    std::string archive = ReadData("size_bomb.zip");
    InChildWithinMemoryLimit([&] {
        Unpacking r;
        r.Extract(archive);
        EXPECT_EQ(r.fs.created, Game({"bomb.dat", "stored.dat", "ok.txt"}));
        EXPECT_EQ(r.Content("bomb.dat"), std::string(10, '\0'));
        EXPECT_EQ(r.Content("stored.dat"), std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09", 10));
        EXPECT_EQ(r.Content("ok.txt"), "still installed\r\n");
        EXPECT_EQ(r.BytesWritten(), 10u + 10u + 17u);
        EXPECT_EQ(r.errors, (Errors{{"bomb.dat", "File larger than its declared size"},
                                    {"stored.dat", "File larger than its declared size"}}));
    });
}

TEST(HostileArchive, SixtyFiveThousandRecordsOnOneMember) {
    std::string archive = ReadData("overlap_65535.zip");
    InChildWithinMemoryLimit([&] {
        Unpacking r;
        r.Extract(archive);
        EXPECT_EQ(r.fs.created, Game({"bomb.dat"}));
        EXPECT_EQ(r.Content("bomb.dat"), std::string(144 * 1024, '\0'));
        EXPECT_EQ(r.BytesWritten(), 144u * 1024u);
        EXPECT_EQ(r.count, 1);
        EXPECT_EQ(r.errorCount, 65534u);
        ASSERT_EQ(r.errors.size(), 100u);
        for (const auto& e : r.errors)
            ASSERT_EQ(e,
                      (std::pair<std::string, std::string>{"bomb.dat", "File data overlaps another member"}));
        // Each refused record costs its local header and its own name, not a pass over the data.
        EXPECT_LT(r.fs.bytesRead, 3 * archive.size());
    });
}

TEST(HostileArchive, LocalScanWithDataDescriptors) {
    std::string first, second;
    for (int i = 0; i < 400; ++i) first += "first member, line " + std::to_string(i) + "\r\n";
    for (int i = 0; i < 5000; ++i) second += static_cast<char>((i * 7 + 3) % 251);
    std::string archive = ReadData("local_descriptor.zip");
    InChildWithinMemoryLimit([&] {
        Unpacking r;
        r.Extract(archive);
        EXPECT_EQ(r.fs.created, Game({"first.txt", "second.bin", "last.txt"}));
        EXPECT_EQ(r.Content("first.txt"), first);
        EXPECT_EQ(r.Content("second.bin"), second);
        EXPECT_EQ(r.Content("last.txt"), "last member, sizes in its header\r\n");
        EXPECT_EQ(r.errors, (Errors{{"broken.dat", "Missing data descriptor"}}));
    });
}

TEST(HostileArchive, UnwritableMembersLeaveOldFiles) {
    std::string archive = ReadData("unwritable_members.zip");
    InChildWithinMemoryLimit([&] {
        Unpacking r({{"C:\\Game\\zorm.exe", "old game"}, {"C:\\Game\\nelkar.exe", "old helper"}});
        r.Extract(archive);
        EXPECT_EQ(r.Content("zorm.exe"), "old game");
        EXPECT_EQ(r.Content("nelkar.exe"), "old helper");
        EXPECT_EQ(r.fs.created, Game({"ReadMe.txt"}));
        EXPECT_EQ(r.Content("ReadMe.txt"), "Read me first.\r\n");
        EXPECT_EQ(r.errors, (Errors{{"zorm.exe", "Unsupported compression method"},
                                    {"nelkar.exe", "Unsupported compression method"}}));
    });
}

TEST(HostileArchive, DeviceNames) {
    std::string archive = ReadData("device_names.zip");
    InChildWithinMemoryLimit([&] {
        Unpacking r;
        r.Extract(archive);
        EXPECT_EQ(r.fs.created, Game({"ok.txt"}));
        EXPECT_TRUE(r.fs.madeFolders.empty());
        Errors expected;
        for (const char* name :
             {"CON", "aux.txt", "Info/NUL/page.htm", "lpt1 .dat", "Com9.log.", "prn. .txt"})
            expected.emplace_back(name, "Unsafe file name");
        EXPECT_EQ(r.errors, expected);
    });
}

}  // namespace
}  // namespace tessarin::testing
