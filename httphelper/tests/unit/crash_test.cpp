// Crash safety: a run is killed at every file and socket operation in turn; after each kill
// no queued request is lost, every list is well formed and every destination holds its old
// or its new content, also one that the game holds loaded, and no temporary download is left
// (once the next run has tidied up).
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <regex>
#include <set>

#include "file_place.h"
#include "helper_run.h"
#include "inet_conn.h"
#include "lists.h"
#include "posix_files.h"
#include "posix_socket.h"
#include "test_server.h"

namespace nelkar {
namespace {

// Counts operations and kills the process at operation `killAt`; a write that is hit is cut
// in half first, as a crash in the middle of writing leaves it.
struct KillSwitch {
    long killAt = -1;
    long count = 0;
    bool Hit() { return ++count == killAt; }
    [[noreturn]] void Die() {
        kill(getpid(), SIGKILL);
        for (;;) pause();
    }
    // Files written since their last flush. A kill loses nothing the system holds in its cache,
    // only a power loss would: the flush is not done here, but none of them may replace a file.
    std::set<std::string> unflushed;
    void CheckFlushed(const std::string& path) {
        if (unflushed.count(path)) _exit(3);
    }
};

class KillingOut : public OutFile {
public:
    KillingOut(std::unique_ptr<OutFile> inner, KillSwitch& k, std::string path)
        : inner_(std::move(inner)), k_(k), path_(std::move(path)) {}
    void Write(const char* d, size_t n) override {
        k_.unflushed.insert(path_);
        if (k_.Hit()) {
            inner_->Write(d, n / 2);
            k_.Die();
        }
        inner_->Write(d, n);
    }
    void Flush() override { k_.unflushed.erase(path_); }
    void Close() override {
        if (k_.Hit()) k_.Die();
        inner_->Close();
    }

private:
    std::unique_ptr<OutFile> inner_;
    KillSwitch& k_;
    std::string path_;
};

// "files\one.dat" is loaded by the game: it can be renamed but not overwritten.
class KillingFiles : public PosixFileSys {
public:
    explicit KillingFiles(KillSwitch& k) : k_(k) {}
    std::unique_ptr<OutFile> Create(const std::string& p, Existing existing) override {
        if (k_.Hit()) k_.Die();
        return std::make_unique<KillingOut>(PosixFileSys::Create(p, existing), k_, p);
    }
    MoveResult Replace(const std::string& a, const std::string& b, ReadOnlyTarget readOnly) override {
        k_.CheckFlushed(a);
        if (k_.Hit()) k_.Die();
        MoveResult r = b == "files\\one.dat" ? MoveResult::kDenied : PosixFileSys::Replace(a, b, readOnly);
        if (k_.Hit()) k_.Die();
        return r;
    }
    MoveResult Move(const std::string& a, const std::string& b) override {
        k_.CheckFlushed(a);
        if (k_.Hit()) k_.Die();
        MoveResult r = PosixFileSys::Move(a, b);
        if (k_.Hit()) k_.Die();
        return r;
    }
    bool Remove(const std::string& p) override {
        if (k_.Hit()) k_.Die();
        return PosixFileSys::Remove(p);
    }

private:
    KillSwitch& k_;
};

class KillingSockets : public PosixSocketBackend {
public:
    explicit KillingSockets(KillSwitch& k) : k_(k) {}
    int Recv(SockHandle s, char* d, int n, bool peek) override {
        if (!peek && k_.Hit()) k_.Die();
        return PosixSocketBackend::Recv(s, d, n, peek);
    }
    int Send(SockHandle s, const char* d, int n) override {
        if (k_.Hit()) k_.Die();
        return PosixSocketBackend::Send(s, d, n);
    }

private:
    KillSwitch& k_;
};

const std::string kOneHalf = Repeat("new one ", 500);  // the body of /f/one comes in two halves

const std::string kScript =
    "case /q/a\nsend HTTP/1.0 200 OK\\r\\n\\r\\nA\n"
    "case /q/c\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nsleep 0.01\nsend C\n"
    "case /games/Veltmark-OR/updates/vmorlist.dat\nsend HTTP/1.0 200 OK\\r\\n\\r\\n"
    "127.0.0.1/f/one\\r\\n2\\r\\nfiles\\\\one.dat\\r\\n127.0.0.1/f/two\\r\\n1\\r\\nfiles\\\\two.dat\\r\\n\n"
    "case /f/one\nsend HTTP/1.0 200 OK\\r\\n\\r\\n\nrepeat 1 " +
    kOneHalf + "\nsleep 0.01\nrepeat 1 " + kOneHalf +
    "\n"
    "case /f/two\nsend HTTP/1.0 200 OK\\r\\n\\r\\nnew two\n"
    "case *\nsend HTTP/1.0 404 Not Found\\r\\n\\r\\n\n";

const Lines kQueued = {"127.0.0.1/q/a", "127.0.0.1/q/b", "127.0.0.1/q/c"};

bool WellFormed(const std::string& text) {
    return text.empty() || (text.size() >= 2 && text.compare(text.size() - 2, 2, "\r\n") == 0);
}

TEST(CrashTest, KilledAtEveryOperationLosesNothing) {
    TestServer server(kScript);
    ScratchDir dir;
    const std::string inet = dir / "INTERNET";
    const std::string newOne = kOneHalf + kOneHalf;
    int kills = 0;
    bool completed = false;
    for (long n = 1; n < 2000 && !completed; ++n) {
        SCOPED_TRACE("killed at operation " + std::to_string(n));
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(inet);
        std::filesystem::create_directories(dir / "files");
        WriteFile(inet + "/upload.dat", JoinLines(kQueued));
        WriteFile(inet + "/postponed.dat", JoinLines({"127.0.0.1/q/p", "1"}));
        WriteFile(inet + "/downloaded.dat", JoinLines({"127.0.0.1/f/one", "1", "files\\one.dat"}));
        WriteFile(dir / "files/one.dat", "old one");
        WriteFile(dir / "files/two.dat.part", "theirs");  // another program's
        size_t requestsBefore = server.Requests().size();

        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            KillSwitch k;
            k.killAt = n;
            KillingFiles files(k);
            KillingSockets sockets(k);
            Settings settings;
            std::filesystem::current_path(dir.path());
            TInetConn conn(sockets, files, settings, inet + "\\header.dat");
            conn.directPort = server.port();
            RunEnv env = ConnectedRunEnv(conn, files, inet, "127.0.0.1", [] { return 0u; });
            try {
                RunStages(env);
            } catch (...) {
                _exit(2);
            }
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(pid, waitpid(pid, &status, 0));
        if (WIFEXITED(status)) {
            ASSERT_EQ(0, WEXITSTATUS(status)) << "3: a file replaced another before it was flushed";
            completed = true;
        } else {
            ASSERT_TRUE(WIFSIGNALED(status));
            ++kills;
        }

        std::vector<std::string> reqs = server.Requests();
        std::vector<std::string> served;
        for (size_t i = requestsBefore; i < reqs.size(); ++i) served.push_back(reqs[i]);
        std::string upload = ReadFile(inet + "/upload.dat");
        std::string postponed = ReadFile(inet + "/postponed.dat");
        std::string downloaded = ReadFile(inet + "/downloaded.dat");
        ASSERT_TRUE(WellFormed(upload) && WellFormed(postponed) && WellFormed(downloaded))
            << upload << "|" << postponed << "|" << downloaded;
        Lines up = SplitLines(upload), post = SplitLines(postponed), down = SplitLines(downloaded);
        ASSERT_EQ(0u, post.size() % 2);
        ASSERT_EQ(0u, down.size() % 3);
        for (size_t i = 1; i < post.size(); i += 2)
            ASSERT_NO_THROW(StrToInt(std::string(post[i]))) << post[i];
        // The queue only ever loses its first line.
        for (size_t i = 0; i < up.size(); ++i) ASSERT_EQ(kQueued[kQueued.size() - up.size() + i], up[i]);
        for (std::string_view view : kQueued) {
            const std::string url(view);
            bool queued = std::find(up.begin(), up.end(), url) != up.end();
            bool kept = std::find(post.begin(), post.end(), url) != post.end();
            std::string line = "GET " + url.substr(url.find('/')) + " HTTP/1.0\r\n\r\n";
            bool sent = std::find(served.begin(), served.end(), line) != served.end();
            ASSERT_TRUE(queued || kept || sent) << url << " was lost";
        }
        // The loaded file's old content stays aside until the start of the next run, once the
        // game has let go.
        if (completed) ASSERT_EQ("old one", ReadFile(dir / "files/one.dat.old"));
        PosixFileSys plain;
        RemoveLeftAside(plain, inet + "\\" + kLeftAsideList);
        ASSERT_FALSE(Exists(dir / "files/one.dat.old"));
        if (completed) ASSERT_FALSE(Exists(inet + "/parts.dat"));
        RemoveUnfinishedDownloads(plain, inet + "\\" + kPartsList);
        ASSERT_FALSE(Exists(inet + "/parts.dat"));
        ASSERT_EQ("theirs", ReadFile(dir / "files/two.dat.part"));
        for (const auto& file : std::filesystem::recursive_directory_iterator(dir.path()))
            ASSERT_TRUE(file.path().filename() == "two.dat.part" ||
                        !std::regex_search(file.path().filename().string(), std::regex("\\.part[0-9]?$")))
                << file.path() << " left behind";
        std::string one = ReadFile(dir / "files/one.dat");
        ASSERT_TRUE(one == "old one" || one == newOne)
            << one.substr(0, 40) << "... (" << one.size() << " bytes)";
        if (Exists(dir / "files/two.dat")) ASSERT_EQ("new two", ReadFile(dir / "files/two.dat"));
        if (completed) {
            EXPECT_EQ("", upload);
            EXPECT_EQ(JoinLines({"127.0.0.1/q/p", "2", "127.0.0.1/q/b", "2"}), postponed);
            EXPECT_EQ(newOne, one);
        }
    }
    EXPECT_TRUE(completed);
    EXPECT_GT(kills, 40);
    std::cout << "runs killed: " << kills << "\n";
}

}  // namespace
}  // namespace nelkar
