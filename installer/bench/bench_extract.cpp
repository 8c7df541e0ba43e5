// Extraction benchmark: a large archive made by Info-ZIP "zip" from a generated tree is
// unpacked into fresh folders by our extractor core, by "unzip -o -q" and by "bsdtar -xf";
// prints wall time, CPU time and peak memory of each and our ratios to the others.
//
//   tessarin_bench [--dir WORK] [--mib SIZE] [--files COUNT]
// WORK (default "bench-work" in the current folder) should be on tmpfs to measure the
// extractors rather than the disk. The tree and archive are made once and reused.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "posix_files.h"
#include "unzip.h"

namespace {

struct Result {
    const char* name;
    double wall = 0, cpu = 0;
    long peakKiB = 0;
    int status = 0;
};

bool Exists(const std::string& p) {
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

int Shell(const std::string& cmd) { return std::system(cmd.c_str()); }

// A tree of text files (deflated well), noise files (stored by zip) and small files.
void MakeTree(const std::string& src, size_t mib, size_t files) {
    Shell("rm -rf '" + src + "' && mkdir -p '" + src + "'");
    const size_t total = mib << 20;
    const size_t per = total / files;
    uint32_t seed = 2024;
    std::string buf;
    for (size_t i = 0; i < files; ++i) {
        std::string dir = src + "/d" + std::to_string(i % 40);
        ::mkdir(dir.c_str(), 0755);
        size_t size = (i % 10 == 0) ? 300 + i % 700 : per * (1 + (i % 3)) / 2;
        buf.resize(size);
        if (i % 2 == 0) {
            for (size_t k = 0; k < size; ++k) {
                seed = seed * 1103515245u + 12345u;
                buf[k] = static_cast<char>(seed >> 24);
            }
        } else {
            std::string line;
            size_t k = 0;
            while (k < size) {
                seed = seed * 1103515245u + 12345u;
                line = "clan " + std::to_string(seed % 9973) + " holds the keep at " +
                       std::to_string(seed % 131) + "\n";
                for (char c : line)
                    if (k < size) buf[k++] = c;
            }
        }
        std::ofstream(dir + "/f" + std::to_string(i) + ".dat", std::ios::binary)
            .write(buf.data(), static_cast<std::streamsize>(size));
    }
}

double Seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

template <class F>
Result Measure(const char* name, F body) {
    Result r;
    r.name = name;
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) std::_Exit(body());
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    r.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    r.cpu = Seconds(ru.ru_utime) + Seconds(ru.ru_stime);
    r.peakKiB = ru.ru_maxrss;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
    return r;
}

int Exec(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    return 127;
}

}  // namespace

int main(int argc, char** argv) {
    std::string work = "bench-work";
    size_t mib = 256, files = 2000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--dir"))
            work = argv[i + 1];
        else if (!std::strcmp(argv[i], "--mib"))
            mib = std::strtoul(argv[i + 1], nullptr, 10);
        else if (!std::strcmp(argv[i], "--files"))
            files = std::strtoul(argv[i + 1], nullptr, 10);
    }
    char real[4096];
    ::mkdir(work.c_str(), 0755);
    if (!::realpath(work.c_str(), real)) return 1;
    work = real;
    std::string zip = work + "/bench-" + std::to_string(mib) + "-" + std::to_string(files) + ".zip";
    if (!Exists(zip)) {
        std::printf("making %zu files, about %zu MiB, and the archive ...\n", files, mib);
        MakeTree(work + "/src", mib, files);
        if (Shell("cd '" + work + "/src' && zip -q -r '" + zip + "' .") != 0) return 1;
        Shell("rm -rf '" + work + "/src'");
    }
    struct stat st;
    ::stat(zip.c_str(), &st);

    auto fresh = [&](const char* name) {
        std::string dir = work + "/out-" + name;
        Shell("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
        return dir;
    };
    std::vector<Result> results;
    std::string ours = fresh("ours");
    uint64_t written = 0;
    results.push_back(Measure("TUnZIP", [&] {
        tessarin::PosixFileSystem fs;
        tessarin::TUnZIP unzip(fs);
        unzip.SetArchiveFile(zip);
        unzip.SetExtractDir(ours);
        unzip.FileSpec = {"*.*"};
        unsigned reports = 0;
        unzip.OnProgress = [&](uint8_t, uint8_t) { ++reports; };
        int n = unzip.Extract();
        return n > 0 ? 0 : 1;
    }));
    std::string u = fresh("unzip");
    results.push_back(Measure("unzip -o -q", [&] { return Exec({"unzip", "-o", "-q", zip, "-d", u}); }));
    std::string b = fresh("bsdtar");
    results.push_back(Measure("bsdtar -xf", [&] { return Exec({"bsdtar", "-xf", zip, "-C", b}); }));
    FILE* du = ::popen(("du -sb '" + ours + "' | cut -f1").c_str(), "r");
    if (du) {
        unsigned long long v = 0;
        if (std::fscanf(du, "%llu", &v) == 1) written = v;
        ::pclose(du);
    }
    int same = Shell("diff -r -q '" + ours + "' '" + u + "' > /dev/null");

    std::printf("archive %s: %.1f MiB, output %.1f MiB, trees of TUnZIP and unzip %s\n", zip.c_str(),
                static_cast<double>(st.st_size) / 1048576.0, static_cast<double>(written) / 1048576.0,
                same == 0 ? "identical" : "DIFFER");
    std::printf("%-12s %9s %9s %10s %9s %6s\n", "extractor", "wall s", "cpu s", "peak KiB", "MiB/s", "exit");
    for (const Result& r : results)
        std::printf("%-12s %9.3f %9.3f %10ld %9.1f %6d\n", r.name, r.wall, r.cpu, r.peakKiB,
                    static_cast<double>(written) / 1048576.0 / r.wall, r.status);
    const Result& o = results[0];
    for (size_t i = 1; i < results.size(); ++i)
        std::printf("TUnZIP / %-12s wall %.2f  cpu %.2f  peak memory %.2f\n", results[i].name,
                    o.wall / results[i].wall, o.cpu / results[i].cpu,
                    static_cast<double>(o.peakKiB) / static_cast<double>(results[i].peakKiB));
    Shell("rm -rf '" + ours + "' '" + u + "' '" + b + "'");
    return o.status == 0 && same == 0 ? 0 : 1;
}
