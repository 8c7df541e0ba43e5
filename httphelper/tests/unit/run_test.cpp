// Runs over real files, with requests answered by a table.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <map>

#include "file_util.h"
#include "helper_run.h"
#include "posix_files.h"
#include "test_server.h"

namespace nelkar {
namespace {

const std::string kListUrl = std::string("update.test") + kUpdateListPath;
using Urls = std::vector<std::string>;  // the requests of a run, in order

class RunTest : public ::testing::Test {
protected:
    void SetUp() override {
        inet_ = dir_ / "INTERNET";
        ASSERT_EQ(0, mkdir(inet_.c_str(), 0777));
        Put("upload.dat", "");
        Put("postponed.dat", "");
        Put("downloaded.dat", "");
        env_.files = &fs_;
        env_.internetDir = inet_;
        env_.updateHost = "update.test";
        env_.tickCount = [this] { return now_; };
        env_.httpGet = [this](const std::string& url, const std::string& file, uint64_t maxBody) {
            calls_.push_back(url);
            if (onRequest_) onRequest_(url);
            auto it = replies_.find(url);
            if (it == replies_.end() || it->second.size() > maxBody) return false;
            CreateDirPath(fs_, ExtractFileDir(file));
            WriteFile(PosixFileSys::Native(file), it->second);
            return true;
        };
    }
    void Put(const std::string& name, const std::string& content) { WriteFile(inet_ + "/" + name, content); }
    std::string Get(const std::string& name) { return ReadFile(inet_ + "/" + name); }
    RunEnd Run() {
        CwdGuard cwd(dir_.path());
        return RunStages(env_);
    }

    ScratchDir dir_;
    std::string inet_;
    PosixFileSys fs_;
    RunEnv env_;
    uint32_t now_ = 1000;
    std::map<std::string, std::string> replies_;  // url -> body; any other url fails
    Urls calls_;
    std::function<void(const std::string&)> onRequest_;
};

TEST(CommandLineTest, SetupModeOnlyByTheFirstArgument) {
    struct Row {
        std::vector<std::string> args;
        bool setup;
    } rows[] = {{{}, false},      {{"/C"}, true},  {{"-C"}, true},       {{"/c"}, true},
                {{"-c"}, true},   {{"/X"}, false}, {{"x", "/C"}, false}, {{"/C", "x"}, true},
                {{"/CC"}, false}, {{"C"}, false},  {{""}, false}};
    for (const Row& r : rows) EXPECT_EQ(r.setup, IsSetupMode(r.args)) << ::testing::PrintToString(r.args);
}

TEST_F(RunTest, QueuedRequestsAreServedAndFailuresPostponed) {
    Put("upload.dat", "ok.test/a\r\nbad.test/b\nok.test/c");
    Put("reply.dat", "stale");
    replies_ = {{"ok.test/a", "A"}, {"ok.test/c", "C"}, {kListUrl, ""}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    // The postponed request is tried again in the same run, which raises its count.
    EXPECT_EQ(Urls({"ok.test/a", "bad.test/b", "ok.test/c", kListUrl, "bad.test/b"}), calls_);
    EXPECT_EQ("", Get("upload.dat"));
    EXPECT_EQ("bad.test/b\r\n2\r\n", Get("postponed.dat"));
    EXPECT_FALSE(Exists(inet_ + "/reply.dat"));
    EXPECT_FALSE(Exists(inet_ + "/vmorlist.dat"));
    EXPECT_TRUE(Exists(inet_ + "/nelkar.lck"));
}

TEST_F(RunTest, LinesAppendedWhileTheQueueIsServedAreServedToo) {
    Put("upload.dat", "q.test/1\r\n");
    int appended = 0;
    onRequest_ = [&](const std::string& url) {
        if (url == "q.test/1" && appended++ == 0) Put("upload.dat", "q.test/1\r\nq.test/2\r\nq.test/3\r\n");
    };
    replies_ = {{"q.test/1", ""}, {"q.test/2", ""}, {"q.test/3", ""}};
    EXPECT_EQ(RunEnd::kNoUpdateList, Run());
    EXPECT_EQ(Urls({"q.test/1", "q.test/2", "q.test/3", kListUrl}), calls_);
    EXPECT_EQ("", Get("upload.dat"));
}

TEST_F(RunTest, UnreachableUpdateServerEndsTheRunAfterTheQueue) {
    Put("postponed.dat", "p.test/x\r\n1\r\n");
    Put("vmorlist.dat", "partial");
    EXPECT_EQ(RunEnd::kNoUpdateList, Run());
    EXPECT_EQ(Urls({kListUrl}), calls_);
    EXPECT_FALSE(Exists(inet_ + "/vmorlist.dat"));
    EXPECT_EQ("p.test/x\r\n1\r\n", Get("postponed.dat"));
}

// A run starts by removing the temporary downloads that a run ended during left, as listed.
TEST_F(RunTest, UnfinishedDownloadsOfAnEarlierRunAreRemoved) {
    WriteFile(dir_ / "a.dat.part2", "cut short");
    Put("parts.dat", dir_ / "a.dat.part2\r\n" + dir_ / "gone.dat.part\r\n");
    Run();
    EXPECT_FALSE(Exists(dir_ / "a.dat.part2"));
    EXPECT_FALSE(Exists(inet_ + "/parts.dat"));
}

TEST_F(RunTest, PostponedCountsAndOddLineCount) {
    Put("postponed.dat",
        "a.test/4\r\n4\r\nb.test/7\r\n7\r\nc.test/ok\r\n2\r\nd.test/1\r\n1\r\norphan.test/x\r\n");
    replies_ = {{kListUrl, ""}, {"c.test/ok", "fine"}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    // From the last pair to the first; the odd last line is never touched.
    EXPECT_EQ(Urls({kListUrl, "d.test/1", "c.test/ok", "b.test/7", "a.test/4"}), calls_);
    EXPECT_EQ("b.test/7\r\n8\r\nd.test/1\r\n2\r\norphan.test/x\r\n", Get("postponed.dat"));
}

// A count that is not a decimal number counts as the last attempt: the request is made once
// more and its pair dropped; the pairs before it are still served.
TEST_F(RunTest, BadAttemptCountIsTheLastAttempt) {
    Put("postponed.dat",
        "a.test/x\r\n 3\r\nb.test/x\r\nfour\r\nc.test/x\r\n99999999999\r\nd.test/x\r\n\r\ne.test/x\r\n2\r\n");
    replies_ = {{kListUrl, ""}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    EXPECT_EQ(
        std::vector<std::string>({kListUrl, "e.test/x", "d.test/x", "c.test/x", "b.test/x", "a.test/x"}),
        calls_);
    EXPECT_EQ("a.test/x\r\n4\r\ne.test/x\r\n3\r\n", Get("postponed.dat"));
}

TEST_F(RunTest, MissingListFilesEndTheRun) {
    ::unlink((inet_ + "/postponed.dat").c_str());
    EXPECT_THROW(Run(), std::exception);
    EXPECT_TRUE(calls_.empty());
}

TEST_F(RunTest, UpdateListEntriesByUrlCaseAndVersion) {
    replies_ = {{kListUrl,
                 "files.test/Maps/One.map\r\nv1\r\nmaps\\one.map\r\n"
                 "files.test/two.dat\r\nV2\r\ntwo.dat\r\n"
                 "files.test/three.dat\r\n3\r\ndata\\three.dat\r\n"},
                {"files.test/Maps/One.map", "one"},
                {"files.test/two.dat", "two"},
                {"files.test/three.dat", "three"}};
    Put("downloaded.dat",
        "FILES.TEST/maps/one.map\r\nv1\r\nmaps\\one.map\r\n"
        "files.test/TWO.DAT\r\nv2\r\ntwo.dat\r\n");
    EXPECT_EQ(RunEnd::kComplete, Run());
    // Same version in another letter case of the URL: not fetched. A version that differs in
    // case only: fetched, and only its version line changes. A new entry: appended.
    EXPECT_EQ(Urls({kListUrl, "files.test/two.dat", "files.test/three.dat"}), calls_);
    EXPECT_EQ(
        "FILES.TEST/maps/one.map\r\nv1\r\nmaps\\one.map\r\n"
        "files.test/TWO.DAT\r\nV2\r\ntwo.dat\r\n"
        "files.test/three.dat\r\n3\r\ndata\\three.dat\r\n",
        Get("downloaded.dat"));
    EXPECT_EQ("two", ReadFile(dir_ / "two.dat"));
    EXPECT_EQ("three", ReadFile(dir_ / "data/three.dat"));
}

TEST_F(RunTest, SevenLineListConsidersTwoEntries) {
    replies_ = {{kListUrl, "f.test/1\r\na\r\none.dat\r\nf.test/2\r\nb\r\ntwo.dat\r\nf.test/3\r\n"},
                {"f.test/1", "1"},
                {"f.test/2", "2"},
                {"f.test/3", "3"}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    EXPECT_EQ(Urls({kListUrl, "f.test/1", "f.test/2"}), calls_);
    EXPECT_EQ("f.test/1\r\na\r\none.dat\r\nf.test/2\r\nb\r\ntwo.dat\r\n", Get("downloaded.dat"));
}

TEST_F(RunTest, FailedDownloadIsNotRecorded) {
    replies_ = {{kListUrl, "f.test/gone\r\na\r\ngone.dat\r\nf.test/ok\r\nb\r\nok.dat\r\n"},
                {"f.test/ok", "ok"}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    EXPECT_EQ("f.test/ok\r\nb\r\nok.dat\r\n", Get("downloaded.dat"));
}

TEST_F(RunTest, DestinationsOutsideTheCurrentFolderAreRefused) {
    replies_ = {{kListUrl,
                 "f.test/1\r\na\r\n..\\escape.dat\r\n"
                 "f.test/2\r\na\r\nC:\\Windows\\evil.dll\r\n"
                 "f.test/3\r\na\r\n\\\\server\\share\\x.dat\r\n"
                 "f.test/4\r\na\r\nmaps\\..\\..\\up.dat\r\n"
                 "f.test/5\r\na\r\nmaps\\fine.dat\r\n"},
                {"f.test/1", "x"},
                {"f.test/2", "x"},
                {"f.test/3", "x"},
                {"f.test/4", "x"},
                {"f.test/5", "fine"}};
    EXPECT_EQ(RunEnd::kComplete, Run());
    EXPECT_EQ(Urls({kListUrl, "f.test/5"}), calls_);
    EXPECT_EQ("f.test/5\r\na\r\nmaps\\fine.dat\r\n", Get("downloaded.dat"));
    EXPECT_EQ("fine", ReadFile(dir_ / "maps/fine.dat"));
}

// What a destination opens counts, not only how it is spelled: links to the exchange folder
// are refused like its name. The current folder is the scratch folder above INTERNET.
TEST_F(RunTest, DestinationsThatOpenTheExchangeFolderAreRefused) {
    ASSERT_EQ(0, mkdir((dir_ / "maps").c_str(), 0777));
    ASSERT_EQ(0, symlink(inet_.c_str(), (dir_ / "link").c_str()));
    ASSERT_EQ(0, symlink(inet_.c_str(), (dir_ / "maps/inner").c_str()));
    CwdGuard cwd(dir_.path());
    const std::string here = fs_.CurrentDir();
    struct Row {
        std::string dest;
        bool allowed;
    } rows[] = {
        {"maps\\x.dat", true},
        {"link\\postponed.dat", false},
        {"maps\\inner\\x.dat", false},
        {"maps/inner/x.dat", false},
        {"link", false},
        {"INTERNET\\x.dat", false},
        {"..\\x.dat", false},
        {"ddd\\" + std::string(250, 'f'), true},
        {"ddd\\" + std::string(251, 'f'), false},
    };
    for (const Row& r : rows) EXPECT_EQ(r.allowed, DestinationAllowed(fs_, here, inet_, r.dest)) << r.dest;
    // Inside the exchange folder every relative destination lies in it; without a current
    // folder none can be checked.
    EXPECT_FALSE(DestinationAllowed(fs_, inet_, inet_, "x.dat"));
    EXPECT_FALSE(DestinationAllowed(fs_, "", inet_, "x.dat"));
}

TEST_F(RunTest, BudgetCrossedDuringDownloadsSkipsPostponed) {
    now_ = 0xffffff00u;  // the tick counter wraps during the run
    Put("postponed.dat", "p.test/x\r\n1\r\n");
    replies_ = {{kListUrl, "f.test/slow\r\na\r\nslow.dat\r\n"}, {"f.test/slow", "s"}};
    onRequest_ = [&](const std::string& url) {
        if (url == "f.test/slow") now_ += 180001;
    };
    EXPECT_EQ(RunEnd::kOutOfTime, Run());
    EXPECT_EQ("p.test/x\r\n1\r\n", Get("postponed.dat"));
    EXPECT_EQ(Urls({kListUrl, "f.test/slow"}), calls_);
}

TEST_F(RunTest, BudgetExactlyReachedStillAllowsPostponed) {
    Put("postponed.dat", "p.test/x\r\n1\r\nq.test/y\r\n1\r\n");
    replies_ = {{kListUrl, ""}};
    onRequest_ = [&](const std::string& url) {
        if (url == kListUrl) now_ += 180000;
        if (url == "q.test/y") now_ += 1;
    };
    EXPECT_EQ(RunEnd::kComplete, Run());
    // The last pair is tried; after it the budget is exceeded and the retries stop.
    EXPECT_EQ(Urls({kListUrl, "q.test/y"}), calls_);
    EXPECT_EQ("p.test/x\r\n1\r\nq.test/y\r\n2\r\n", Get("postponed.dat"));
}

TEST_F(RunTest, SecondInstanceEndsAtOnce) {
    Put("upload.dat", "q.test/1\r\n");
    auto held = fs_.Lock(inet_ + "\\nelkar.lck");
    ASSERT_TRUE(held);
    EXPECT_EQ(RunEnd::kLockFailed, Run());
    EXPECT_TRUE(calls_.empty());
    EXPECT_EQ("q.test/1\r\n", Get("upload.dat"));
}

TEST_F(RunTest, MissingExchangeFolderEndsAtOnce) {
    env_.internetDir = dir_ / "NOWHERE";
    EXPECT_EQ(RunEnd::kLockFailed, Run());
    EXPECT_TRUE(calls_.empty());
    EXPECT_FALSE(Exists(dir_ / "NOWHERE"));
}

}  // namespace
}  // namespace nelkar
