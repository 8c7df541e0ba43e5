// A download put in place of a destination held as Windows holds files, over real files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>
#include <map>

#include "file_place.h"
#include "posix_files.h"
#include "test_server.h"

namespace nelkar {
namespace {

// A running program or a loaded library can be renamed, and stays held under its new name, but
// is neither overwritten nor deleted; a file open without sharing can be none of these. A
// scanner refuses the first attempts to replace anything.
class HoldingFiles : public PosixFileSys {
public:
    enum Hold { kLoaded, kOpen };
    std::map<std::string, Hold> held;
    int scannerAttempts = 0;

    MoveResult Replace(const std::string& from, const std::string& to, ReadOnlyTarget readOnly) override {
        if (held.count(to)) return MoveResult::kDenied;
        if (scannerAttempts > 0) {
            --scannerAttempts;
            return MoveResult::kInUse;
        }
        return PosixFileSys::Replace(from, to, readOnly);
    }
    MoveResult Move(const std::string& from, const std::string& to) override {
        auto it = held.find(from);
        if (it != held.end() && it->second == kOpen) return MoveResult::kInUse;
        MoveResult r = PosixFileSys::Move(from, to);
        if (r == MoveResult::kMoved && it != held.end()) {
            held[to] = it->second;
            held.erase(from);
        }
        return r;
    }
    bool Remove(const std::string& path) override { return !held.count(path) && PosixFileSys::Remove(path); }
};

const std::string kDest = "AI\\Denmark.dll";
const std::string kTemp = "AI\\Denmark.dll.part";
const std::string kList = "INTERNET\\replaced.dat";

TEST(PutInPlaceTest, HeldDestinations) {
    struct Row {
        const char* name;
        std::function<void(HoldingFiles&, Placing&)> hold;
        bool placed;
        const char* aside;  // where the old file is left, "" for nowhere
        uint32_t waitedMs;
    } rows[] = {
        {"free", [](HoldingFiles&, Placing&) {}, true, "", 0},
        {"scanner_lets_go_within_a_second", [](HoldingFiles& fs, Placing&) { fs.scannerAttempts = 10; }, true,
         "", kPlaceRetryMs},
        {"loaded", [](HoldingFiles& fs, Placing&) { fs.held[kDest] = HoldingFiles::kLoaded; }, true,
         "Denmark.dll.old", kPlaceRetryMs},
        {"loaded_and_an_older_one_still_there",
         [](HoldingFiles& fs, Placing&) {
             fs.held[kDest] = HoldingFiles::kLoaded;
             WriteFile("AI/Denmark.dll.old", "older");
         },
         true, "Denmark.dll.old2", kPlaceRetryMs},
        {"open_without_sharing", [](HoldingFiles& fs, Placing&) { fs.held[kDest] = HoldingFiles::kOpen; },
         false, "", kPlaceRetryMs},
        {"loaded_without_a_list",
         [](HoldingFiles& fs, Placing& placing) {
             fs.held[kDest] = HoldingFiles::kLoaded;
             placing.leftAsideList.clear();
         },
         false, "", kPlaceRetryMs},
        {"loaded_and_the_download_held",
         [](HoldingFiles& fs, Placing&) {
             fs.held[kDest] = HoldingFiles::kLoaded;
             fs.held[kTemp] = HoldingFiles::kOpen;
         },
         false, "", kPlaceRetryMs},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        ScratchDir dir;
        CwdGuard cwd(dir.path());
        ASSERT_EQ(0, mkdir("AI", 0777));
        ASSERT_EQ(0, mkdir("INTERNET", 0777));
        WriteFile("AI/Denmark.dll", "old");
        WriteFile("AI/Denmark.dll.part", "new");
        HoldingFiles fs;
        uint32_t waited = 0;
        Placing placing{[&waited](uint32_t ms) { waited += ms; }, kList, {}};
        r.hold(fs, placing);

        EXPECT_EQ(r.placed, PutInPlace(fs, kTemp, kDest, placing));
        EXPECT_EQ(r.placed ? "new" : "old", ReadFile("AI/Denmark.dll"));
        EXPECT_EQ(!r.placed, Exists("AI/Denmark.dll.part"));
        EXPECT_EQ(r.waitedMs, waited);
        if (*r.aside) {
            EXPECT_EQ("old", ReadFile(std::string("AI/") + r.aside));
            const std::string here = fs.CurrentDir() + "\\AI\\";
            EXPECT_EQ(here + r.aside + "\r\n" + here + "Denmark.dll\r\n", ReadFile("INTERNET/replaced.dat"));
        } else {
            EXPECT_FALSE(Exists("AI/Denmark.dll.old"));
            EXPECT_FALSE(Exists("INTERNET/replaced.dat"));
        }
    }
}

// The files that earlier runs left aside go at the start of a run, except one still loaded; one
// whose destination is gone (a run ended between the two moves) goes back to it.
TEST(PutInPlaceTest, LeftAsideFilesAreRemovedLater) {
    ScratchDir dir;
    const std::string list = dir / "replaced.dat";
    for (const char* name : {"free.dll", "free.dll.old", "loaded.dll", "loaded.dll.old", "gone.dll", "alone.old"})
        WriteFile(dir / name, std::string("content of ") + name);
    WriteFile(list, dir / "free.dll.old\r\n" + dir / "free.dll\r\n" +     // removed
                        dir / "loaded.dll.old\r\n" + dir / "loaded.dll\r\n" +  // kept
                        dir / "gone.dll.old\r\n" + dir / "gone.dll\r\n" +      // no longer there
                        dir / "alone.old\r\n" + dir / "alone\r\n");            // back in place
    HoldingFiles fs;
    fs.held[dir / "loaded.dll.old"] = HoldingFiles::kLoaded;

    RemoveLeftAside(fs, list);
    EXPECT_FALSE(Exists(dir / "free.dll.old"));
    EXPECT_EQ("content of free.dll", ReadFile(dir / "free.dll"));
    EXPECT_EQ("content of loaded.dll.old", ReadFile(dir / "loaded.dll.old"));
    EXPECT_EQ("content of alone.old", ReadFile(dir / "alone"));
    EXPECT_FALSE(Exists(dir / "alone.old"));
    EXPECT_EQ(dir / "loaded.dll.old\r\n" + dir / "loaded.dll\r\n", ReadFile(list));

    fs.held.clear();
    RemoveLeftAside(fs, list);
    EXPECT_FALSE(Exists(dir / "loaded.dll.old"));
    EXPECT_FALSE(Exists(list));
}

}  // namespace
}  // namespace nelkar
