// Fuzz target: a run over arbitrary list files. Input: upload.dat, postponed.dat,
// downloaded.dat and the update list, separated by zero bytes; which requests succeed is
// decided by the URL's length. Inputs of odd size run with small list limits, so that both
// sides of every limit are reached.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "file_util.h"
#include "helper_run.h"
#include "inet_conn.h"
#include "lists.h"
#include "memory_io.h"
#include "settings.h"

namespace {

// Whether a list text keeps within the limits: its size, and every line's length between
// line ends.
bool WithinLimits(const std::string& text, size_t maxBytes, size_t maxLine) {
    if (text.size() > maxBytes) return false;
    size_t run = 0;
    for (char c : text) {
        run = (c == '\r' || c == '\n') ? 0 : run + 1;
        if (run > maxLine) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nelkar;
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string part[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = i < 3 ? input.find('\0', start) : std::string::npos;
        part[i] = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (end == std::string::npos) break;
        start = end + 1;
    }
    nelkar_fuzz::MemoryFiles fs;
    const std::string inet = std::string(nelkar_fuzz::MemoryFiles::kCurrentDir) + "\\I";
    fs[inet + "\\upload.dat"] = part[0];
    fs[inet + "\\postponed.dat"] = part[1];
    fs[inet + "\\downloaded.dat"] = part[2];
    const std::string listUrl = std::string("u") + kUpdateListPath;
    const std::string inetKey = nelkar_fuzz::MemoryFiles::Key(inet) + "\\";
    size_t requests = 0;
    bool listFetched = false;
    bool afterList = false;  // a request after the update list: a download or a postponed one
    RunEnv env;
    env.files = &fs;
    env.internetDir = inet;
    env.updateHost = "u";
    env.tickCount = [] { return 0u; };
    if (size % 2) {
        env.maxUpdateList = 512;
        env.maxLine = 48;
    }
    env.httpGet = [&](const std::string& url, const std::string& file, uint64_t maxBody) {
        if (++requests > 10000) abort();  // every step must end
        if (url == listUrl) {
            // Only the update list is limited, to its own limit; a longer one is cut there.
            if (maxBody != env.maxUpdateList) abort();
            listFetched = true;
            if (part[3].size() > maxBody) {
                fs[file] = part[3].substr(0, maxBody + 1);
                return false;
            }
            fs[file] = part[3];
            return true;
        }
        if (maxBody != TInetConn::kNoBodyLimit) abort();
        if (listFetched) afterList = true;
        if (url.size() > env.maxLine) abort();  // a request longer than a list line is never sent
        const std::string key = nelkar_fuzz::MemoryFiles::Key(file);
        if (key != nelkar_fuzz::MemoryFiles::Key(inet + "\\reply.dat")) {
            // An update file: never in the exchange folder, never too long for the ANSI calls.
            if (key.compare(0, inetKey.size(), inetKey) == 0 || key + "\\" == inetKey) abort();
            if (DownloadTempName(file).size() >= kMaxPath || !IsSafeRelativePath(file)) abort();
        }
        if (url.size() % 3 == 0) return false;
        fs[file] = "body";
        return true;
    };
    RunStages(env);  // nothing in the lists may end the run
    // An update list beyond the limits counts as not fetched: nothing after it is requested.
    if (afterList && !WithinLimits(part[3], env.maxUpdateList, env.maxLine)) abort();
    // Every list written back is in the written form: whole lines ending in CR LF. A download
    // that landed on one would have left "body" there.
    for (const char* name : {"\\upload.dat", "\\postponed.dat", "\\downloaded.dat"}) {
        const std::string& t = fs[inet + name];
        if (!t.empty() && t != part[0] && t != part[1] && t != part[2] && JoinLines(SplitLines(t)) != t)
            abort();
    }
    if (!fs[inet + "\\upload.dat"].empty()) abort();
    return 0;
}
