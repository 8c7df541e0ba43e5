// Starts and stops the scriptable HTTP test server for native tests.
#include "test_server.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#if defined(__SANITIZE_ADDRESS__)
#define NELKAR_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NELKAR_ASAN 1
#endif
#endif
#ifdef NELKAR_ASAN
#include <sanitizer/allocator_interface.h>
#else
#include <malloc.h>
#endif

namespace nelkar_test {

ScratchDir::ScratchDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "nelkar-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << content;
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    out.reserve(s.size() * n);
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

CwdGuard::CwdGuard(const std::string& dir) : old_(std::filesystem::current_path().string()) {
    std::filesystem::current_path(dir);
}

CwdGuard::~CwdGuard() { std::filesystem::current_path(old_); }

namespace {

long ResidentKib() {
    long size = 0, resident = 0;
    FILE* f = std::fopen("/proc/self/statm", "r");
    if (f) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

ChildRun RunInChild(const std::function<std::string()>& work) {
    int fds[2];
    if (pipe(fds) != 0) return {"no pipe", -1};
    pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
#ifndef NELKAR_ASAN
        rlimit guard{4096ul << 20, 4096ul << 20};
        setrlimit(RLIMIT_AS, &guard);
#endif
        alarm(120);
        // Memory the parent freed but still holds would be reused unseen: give it back first, then
        // start the peak ("high water mark") afresh from what is left.
#ifdef NELKAR_ASAN
        __sanitizer_purge_allocator();
#else
        malloc_trim(0);
#endif
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        long start = ResidentKib();
        std::string text;
        try {
            text = work();
        } catch (const std::exception& e) {
            text = std::string("exception: ") + e.what();
        }
        rusage ru{};
        getrusage(RUSAGE_SELF, &ru);
        text = std::to_string(ru.ru_maxrss - start) + "\n" + text;
        for (size_t done = 0; done < text.size();) {
            ssize_t n = write(fds[1], text.data() + done, text.size() - done);
            if (n <= 0) break;
            done += static_cast<size_t>(n);
        }
        _exit(0);
    }
    close(fds[1]);
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) text.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ChildRun r;
    size_t lf = text.find('\n');
    if (lf == std::string::npos) {
        r.text = WIFSIGNALED(status) ? "killed by signal " + std::to_string(WTERMSIG(status))
                                     : "ended with code " + std::to_string(WEXITSTATUS(status));
        return r;
    }
    r.growthKib = std::stol(text.substr(0, lf));
    r.text = text.substr(lf + 1);
    return r;
}

TestServer::TestServer(const std::string& script) {
    SetScript(script);
    std::string ready = dir_ / "ready";
    std::string log = dir_ / "log";
    std::string scriptFile = dir_ / "script";
    pid_ = fork();
    if (pid_ == 0) {
        execlp(NELKAR_PYTHON, NELKAR_PYTHON, NELKAR_SERVER, "--script", scriptFile.c_str(), "--log",
               log.c_str(), "--ready", ready.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    for (int i = 0; i < 500 && !Exists(ready); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (!Exists(ready)) throw std::runtime_error("test server did not start");
    port_ = std::stoi(ReadFile(ready));
}

TestServer::~TestServer() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

void TestServer::SetScript(const std::string& script) {
    WriteFile(dir_ / "script.tmp", script);
    std::filesystem::rename(dir_ / "script.tmp", dir_ / "script");
}

std::vector<std::string> TestServer::Requests() const {
    std::vector<std::string> out;
    for (int i = 1;; ++i) {
        char name[32];
        snprintf(name, sizeof name, "log/%03d.req", i);
        std::string p = dir_ / name;
        if (!Exists(p)) {
            // Connections are numbered in order of arrival; one without a logged request (closed
            // before reading) leaves a gap.
            bool later = false;
            for (int k = i + 1; k < i + 5; ++k) {
                snprintf(name, sizeof name, "log/%03d.req", k);
                if (Exists(dir_ / name)) later = true;
            }
            if (!later) break;
            out.emplace_back();
            continue;
        }
        out.push_back(ReadFile(p));
    }
    return out;
}

int FreePort() { return TestServer("case *\nclose\n").port(); }

}  // namespace nelkar_test
