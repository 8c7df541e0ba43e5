// The stages of run mode: request queue, update list, update files, postponed requests.
#include "helper_run.h"

#include <memory>

#include "file_util.h"
#include "inet_conn.h"
#include "lists.h"
#include "settings.h"

namespace nelkar {

const char* const kUpdateListPath = "/games/Veltmark-OR/updates/vmorlist.dat";

bool IsSetupMode(const std::vector<std::string>& args) {
    if (args.empty()) return false;
    std::string a = args[0];
    for (char& c : a)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return a == "/C" || a == "-C";
}

namespace {

bool SameText(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

bool DestinationAllowed(FileSys& fs, const std::string& cwd, const std::string& internetDir,
                        const std::string& dest) {
    if (!IsSafeRelativePath(dest) || DownloadTempName(dest).size() >= kMaxPath) return false;
    // The exchange folder holds the helper's own state: a destination there would overwrite a
    // list with whatever the server sends.
    if (cwd.empty() || PathIsWithin(cwd + "\\" + dest, internetDir)) return false;
    // Names the comparison cannot see through (short names of the folders above, links, a
    // current folder spelled otherwise) are caught by asking what each folder on the way opens.
    for (size_t i = 1; i <= dest.size(); ++i) {
        if (i < dest.size() && dest[i] != '\\' && dest[i] != '/') continue;
        if (fs.SameFile(dest.substr(0, i), internetDir)) return false;
    }
    return true;
}

RunEnd RunStages(const RunEnv& env) {
    FileSys& fs = *env.files;
    // Stage 0: the lock.
    const uint32_t start = env.tickCount();
    const std::string dir = env.internetDir + "\\";
    std::unique_ptr<FileLock> lock = fs.Lock(dir + "nelkar.lck");
    if (!lock) return RunEnd::kLockFailed;

    const std::string upload = dir + "upload.dat";
    const std::string postponedFile = dir + "postponed.dat";
    const std::string reply = dir + "reply.dat";
    auto over_budget = [&] { return static_cast<uint32_t>(env.tickCount() - start) > kTimeBudgetMs; };
    // A request longer than a list line fails without being sent.
    auto request = [&](const std::string& url, const std::string& file) {
        return url.size() <= env.maxLine && env.httpGet(url, file);
    };

    // Stage 1: the request queue, re-read from disk after every request so that lines the game
    // appends meanwhile are kept and served in this run.
    Lines queue = ReadList(fs, upload);
    Lines postponed = ReadList(fs, postponedFile);
    while (!queue.empty()) {
        const std::string url(queue.front());
        if (!request(url, reply)) {
            postponed.push_back(url);
            postponed.push_back("1");
            WriteList(fs, postponedFile, postponed);
        }
        queue = ReadList(fs, upload);
        if (!queue.empty()) queue.erase(0);
        WriteList(fs, upload, queue);
    }
    fs.Remove(reply);

    // Stage 2: the update list. It comes from the network: one that is too large, or has a
    // line too long, counts as not fetched.
    const std::string listFile = dir + "vmorlist.dat";
    Lines updates;
    if (!env.httpGet(env.updateHost + kUpdateListPath, listFile) ||
        !ReadCappedList(fs, listFile, env.maxUpdateList, env.maxLine, &updates)) {
        fs.Remove(listFile);
        return RunEnd::kNoUpdateList;
    }
    fs.Remove(listFile);

    // Stage 3: the files of the update list whose version changed.
    const std::string downloadedFile = dir + "downloaded.dat";
    Lines downloaded = ReadList(fs, downloadedFile);
    std::string cwd;
    try {
        cwd = fs.CurrentDir();
    } catch (const EFileError&) {
        // Without it no destination can be checked; every one is refused.
    }
    for (size_t i = 0; i < updates.size() / 3; ++i) {
        const std::string url(updates[3 * i]);
        const std::string_view version = updates[3 * i + 1];
        const std::string dest(updates[3 * i + 2]);
        size_t found = downloaded.size();
        for (size_t k = 0; k < downloaded.size(); ++k) {
            if (SameText(downloaded[k], url)) {
                found = k;
                break;
            }
        }
        bool listed = found < downloaded.size();
        bool hasVersion = listed && found + 1 < downloaded.size();
        bool wanted = !listed || !hasVersion || downloaded[found + 1] != version;
        if (!wanted) continue;
        // The list comes over plain HTTP: a destination that is not allowed is refused and
        // counts as a failed download.
        if (!DestinationAllowed(fs, cwd, env.internetDir, dest)) continue;
        if (!env.httpGet(url, dest)) continue;
        if (!listed) {
            downloaded.push_back(url);
            downloaded.push_back(version);
            downloaded.push_back(dest);
        } else if (hasVersion) {
            downloaded.set(found + 1, version);
        } else {
            downloaded.push_back(version);
        }
        WriteList(fs, downloadedFile, downloaded);
    }
    if (over_budget()) return RunEnd::kBudgetAfterStage3;

    // Stage 4: postponed requests, from the last pair to the first.
    postponed = ReadList(fs, postponedFile);
    for (size_t n = postponed.size() / 2; n-- > 0;) {
        if (request(std::string(postponed[2 * n]), reply)) {
            postponed.erase(2 * n, 2);
        } else {
            bool last = true;  // a count that is not a number counts as the last attempt
            try {
                int32_t count = StrToInt(std::string(postponed[2 * n + 1]));
                std::string next = std::to_string(static_cast<int32_t>(static_cast<uint32_t>(count) + 1u));
                postponed.set(2 * n + 1, next);
                last = next == "5";
            } catch (const EConvertError&) {
            }
            if (last) postponed.erase(2 * n, 2);
        }
        WriteList(fs, postponedFile, postponed);
        if (over_budget()) break;
    }
    fs.Remove(reply);
    return RunEnd::kComplete;
}

}  // namespace nelkar
