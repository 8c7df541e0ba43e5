// Archives made by the tools packagers use (data/packager, made by make_packager.sh there)
// install byte for byte into a real folder: extra fields, comments, data descriptors, "./"
// names and Zip64 extras are skipped or read as the format says. Also the run's clean-up
// routines on real POSIX files.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "posix_files.h"
#include "unzip.h"

namespace tessarin::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Regular files below root, by their path relative to it.
std::set<std::string> FilesBelow(const fs::path& root) {
    std::set<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).generic_string());
    return files;
}

struct Made {
    const char* archive;
    TUnZIP::ArchiveKind kind;
};
class PackagerArchive : public ::testing::TestWithParam<Made> {};

TEST_P(PackagerArchive, InstallsByteForByte) {
    const fs::path data = fs::path(INSTALLER_TEST_DATA) / "packager";
    const fs::path src = data / "src";
    std::string pattern = (fs::temp_directory_path() / "tessarin-packager-XXXXXX").string();
    ASSERT_NE(::mkdtemp(&pattern[0]), nullptr);
    const fs::path out = pattern;

    PosixFileSystem files;
    TUnZIP unzip(files);
    unzip.SetArchiveFile((data / GetParam().archive).string());
    unzip.SetExtractDir(out.string());
    unzip.FileSpec = {"*.*"};
    std::vector<std::string> errors;
    unzip.OnError = [&](const std::string& name, const std::string& message, const WriteRefusal&) {
        errors.push_back(name + ": " + message);
    };
    int count = unzip.Extract();

    EXPECT_EQ(unzip.Kind(), GetParam().kind);
    EXPECT_TRUE(errors.empty()) << ::testing::PrintToString(errors);
    std::set<std::string> expected = FilesBelow(src);
    EXPECT_EQ(expected.size(), 7u);
    EXPECT_EQ(count, 7);
    EXPECT_EQ(FilesBelow(out), expected);
    for (const std::string& name : expected) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(ReadFile(out / name) == ReadFile(src / name));
    }
    fs::remove_all(out);
}

constexpr auto kCentral = TUnZIP::ArchiveKind::CentralDirectory;
INSTANTIATE_TEST_SUITE_P(Tools, PackagerArchive,
                         ::testing::Values(Made{"infozip.zip", kCentral}, Made{"infozip_X.zip", kCentral},
                                           Made{"infozip_comments.zip", kCentral},
                                           // Its end record leaves the central directory's offset to
                                           // a Zip64 end record, which is not read: the local
                                           // headers are walked.
                                           Made{"infozip_fz.zip", TUnZIP::ArchiveKind::LocalScan},
                                           Made{"bsdtar.zip", kCentral}, Made{"python_zip64.zip", kCentral}),
                         [](const ::testing::TestParamInfo<Made>& info) {
                             std::string name = info.param.archive;
                             return name.substr(0, name.find('.'));
                         });

// The held archive is written and removed through its hold; a file removed by name is gone.
TEST(PosixFiles, HeldFileAndRemoveFile) {
    std::string pattern = (fs::temp_directory_path() / "tessarin-clean-XXXXXX").string();
    ASSERT_NE(::mkdtemp(&pattern[0]), nullptr);
    const fs::path dir = pattern;
    std::ofstream(dir / "keep.txt") << "x";

    PosixFileSystem files;
    EXPECT_EQ(files.TempFolder().back(), '/');
    std::unique_ptr<HeldFile> held = files.CreateHeld((dir / "update.zip").string());
    ASSERT_TRUE(held);
    EXPECT_TRUE(held->Write("zip", 3));
    EXPECT_EQ(FilesBelow(dir), (std::set<std::string>{"keep.txt", "update.zip"}));
    EXPECT_TRUE(held->Remove());
    EXPECT_EQ(FilesBelow(dir), (std::set<std::string>{"keep.txt"}));
    EXPECT_TRUE(files.RemoveFile((dir / "keep.txt").string()));
    EXPECT_FALSE(files.RemoveFile((dir / "keep.txt").string()));
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tessarin::testing
