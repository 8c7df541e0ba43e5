// Download benchmark: the helper's HttpGet against curl and a plain recv/write loop, from a
// local web server. Every measurement runs in its own child process, so its processor time
// and peak memory are its own.
//
//   bench_download PORT PATH WORKDIR [SILENT_PORT]
// PORT serves PATH (the large body) and "/small.txt"; WORKDIR receives the downloads.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>

#include "inet_conn.h"
#include "posix_files.h"
#include "posix_socket.h"

namespace {

struct Sample {
    double wall = 0, cpu = 0;
    long peakKb = 0;
    bool ok = false;
};

// Runs `work` in a child; its exit code 0 counts as success.
Sample Measure(const std::function<bool()>& work) {
    auto t0 = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid == 0) _exit(work() ? 0 : 1);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    Sample s;
    s.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    s.cpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
    s.peakKb = ru.ru_maxrss;
    s.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return s;
}

void Keep(Sample& best, const Sample& s, int round) {
    if (round == 0 || s.wall < best.wall) best = s;
}

Sample Best(int runs, const std::function<bool()>& work) {
    Sample best;
    for (int i = 0; i < runs; ++i) {
        Sample s = Measure(work);
        if (i == 0 || s.wall < best.wall) best = s;
    }
    return best;
}

bool HelperGet(int port, const std::string& path, const std::string& out, int times = 1) {
    nelkar::PosixSocketBackend backend;
    nelkar::PosixFileSys files;
    nelkar::Settings settings;
    nelkar::TInetConn conn(backend, files, settings, out + ".header");
    conn.directPort = port;
    for (int i = 0; i < times; ++i)
        if (!conn.HttpGet("127.0.0.1" + path, out)) return false;
    return true;
}

// The floor: connect, send the request, then 64 KiB recv and write calls until the end.
bool PlainGet(int port, const std::string& path, const std::string& out, int times = 1) {
    static char buf[65536];
    for (int i = 0; i < times; ++i) {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(s, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) return false;
        std::string req = "GET " + path + " HTTP/1.0\r\n\r\n";
        if (send(s, req.data(), req.size(), 0) != static_cast<ssize_t>(req.size())) return false;
        int fd = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ssize_t n;
        while ((n = recv(s, buf, sizeof buf, 0)) > 0)
            if (write(fd, buf, static_cast<size_t>(n)) != n) return false;
        close(fd);
        close(s);
    }
    return true;
}

bool CurlGet(int port, const std::string& path, const std::string& out) {
    std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
    pid_t pid = fork();
    if (pid == 0) {
        execlp("curl", "curl", "--http1.0", "-s", "-o", out.c_str(), url.c_str(),
               static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long FileSize(const std::string& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 ? static_cast<long>(st.st_size) : -1;
}

void Row(const char* name, const Sample& s, double mib) {
    std::printf("%-22s %8.3f s wall %8.3f s cpu %8ld KiB peak %8.1f MiB/s %s\n", name, s.wall, s.cpu,
                s.peakKb, mib / s.wall, s.ok ? "" : "FAILED");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: bench_download PORT PATH WORKDIR [SILENT_PORT]\n");
        return 2;
    }
    int port = std::atoi(argv[1]);
    std::string path = argv[2], work = argv[3];
    std::string ours = work + "/ours.bin", plain = work + "/plain.bin", curl = work + "/curl.bin";

    // The first transfer warms the server's page cache.
    PlainGet(port, path, plain);
    // Rounds alternate the three, so a change in the machine's load hits all of them alike.
    const int kRounds = 5;
    Sample o, c, p;
    for (int round = 0; round < kRounds; ++round) {
        Keep(o, Measure([&] { return HelperGet(port, path, ours); }), round);
        Keep(c, Measure([&] { return CurlGet(port, path, curl); }), round);
        Keep(p, Measure([&] { return PlainGet(port, path, plain); }), round);
    }
    double mib = FileSize(ours) / 1048576.0;
    std::printf("download of %.0f MiB (best of %d alternating rounds)\n", mib, kRounds);
    Row("HttpGet (ours)", o, mib);
    Row("curl --http1.0 -o", c, mib);
    Row("plain recv/write loop", p, mib);
    // curl runs as the measured child's own child; wait4 counts its time and peak memory too.
    std::printf("throughput ours/curl  %.2f  (goal >= 1.3)\n", c.wall / o.wall);
    std::printf("throughput ours/plain %.2f  (goal >= 0.85)\n", p.wall / o.wall);
    std::printf(
        "sizes: ours %ld, curl %ld, plain %ld bytes (plain and curl include nothing else; plain keeps the "
        "header)\n",
        FileSize(ours), FileSize(curl), FileSize(plain));

    Sample os = Best(3, [&] { return HelperGet(port, "/small.txt", work + "/small-ours.txt", 200); });
    Sample ps = Best(3, [&] { return PlainGet(port, "/small.txt", work + "/small-plain.txt", 200); });
    std::printf("200 small requests in a row (best of 3)\n");
    std::printf("%-22s %8.3f s wall %8.3f s cpu\n", "HttpGet (ours)", os.wall, os.cpu);
    std::printf("%-22s %8.3f s wall %8.3f s cpu\n", "plain loop", ps.wall, ps.cpu);
    std::printf("time ours/plain %.2f\n", os.wall / ps.wall);

    if (argc > 4) {
        int silent = std::atoi(argv[4]);
        Sample s = Measure([&] { return !HelperGet(silent, "/silent", work + "/silent.bin"); });
        std::printf("server silent for 10 s, then closing: %.3f s wall, %.3f s cpu (goal < 0.1 s cpu)\n",
                    s.wall, s.cpu);
    }
    return 0;
}
