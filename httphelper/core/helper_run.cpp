// One run of the helper: the queue, the update list, the changed files, the postponed requests.
#include "helper_run.h"

#include <memory>
#include <optional>
#include <utility>

#include "file_place.h"
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

namespace {

// The work of one run over the exchange folder, step by step. Every list is written back to
// its file right after each change, so a run that ends early leaves files that agree with the
// work done so far.
class HelperRun {
public:
    explicit HelperRun(const RunEnv& env)
        : env_(env),
          fs_(*env.files),
          dir_(env.internetDir + "\\"),
          queueFile_(dir_ + "upload.dat"),
          postponedFile_(dir_ + "postponed.dat"),
          downloadedFile_(dir_ + "downloaded.dat"),
          replyFile_(dir_ + "reply.dat"),
          updateListFile_(dir_ + "vmorlist.dat") {}

    // The exclusively opened "nelkar.lck"; false when another run holds it or the exchange
    // folder does not exist. The time budget starts here.
    bool TakeLock() {
        start_ = env_.tickCount();
        lock_ = fs_.Lock(dir_ + "nelkar.lck");
        return lock_ != nullptr;
    }

    // Removes the old files that earlier runs left aside because a program held them, and the
    // temporary downloads of runs that ended during one.
    void RemoveOldFiles() {
        RemoveLeftAside(fs_, dir_ + kLeftAsideList);
        RemoveUnfinishedDownloads(fs_, dir_ + kPartsList);
    }

    // Sends every queued request, the oldest first; one that fails is postponed with its first
    // attempt counted. The queue is read from disk again after every request, so that lines the
    // game appends meanwhile are kept and served in this run. No time limit.
    void ServeQueue() {
        Lines queue = ReadList(fs_, queueFile_);
        PostponedList postponed(ReadList(fs_, postponedFile_));
        while (!queue.empty()) {
            const std::string url(queue.front());
            if (!Request(url)) {
                postponed.Append({url, "1"});
                WriteList(fs_, postponedFile_, postponed.lines());
            }
            queue = ReadList(fs_, queueFile_);
            if (!queue.empty()) queue.erase(0);
            WriteList(fs_, queueFile_, queue);
        }
        fs_.Remove(replyFile_);
    }

    // The update list from the update server. It comes from the network: one that is too
    // large, or has a line too long, counts as not fetched, and is not received beyond its
    // limit. The file is deleted either way.
    bool FetchUpdateList(UpdateList* updates) {
        Lines lines;
        bool fetched = env_.httpGet(env_.updateHost + kUpdateListPath, updateListFile_, env_.maxUpdateList) &&
                       ReadCappedList(fs_, updateListFile_, env_.maxUpdateList, env_.maxLine, &lines);
        fs_.Remove(updateListFile_);
        if (fetched) *updates = UpdateList(std::move(lines));
        return fetched;
    }

    // Fetches every file of the update list whose version differs from the one recorded in
    // "downloaded.dat" (or that is not recorded) and records what arrived. A download that
    // fails is not recorded and is tried again by the next run.
    void DownloadWhatChanged(const UpdateList& updates) {
        DownloadedList downloaded(ReadList(fs_, downloadedFile_));
        std::string cwd;
        try {
            cwd = fs_.CurrentDir();
        } catch (const EFileError&) {
            // Without it no destination can be checked; every one is refused.
        }
        for (const UpdateEntry& entry : updates) {
            DownloadedList::Listing listing = downloaded.Find(entry.url);
            if (downloaded.HasVersion(listing, entry.version)) continue;
            // The list comes over plain HTTP: a destination that is not allowed is refused and
            // counts as a failed download.
            if (!DestinationAllowed(fs_, cwd, env_.internetDir, entry.destination)) continue;
            if (!env_.httpGet(entry.url, entry.destination, TInetConn::kNoBodyLimit)) continue;
            downloaded.Record(listing, entry);
            WriteList(fs_, downloadedFile_, downloaded.lines());
        }
    }

    // Tries the postponed requests again, the last first, within the time budget. One that
    // succeeds is dropped; one that fails has its attempt counted and is dropped at the fifth.
    void RetryPostponed() {
        PostponedList postponed(ReadList(fs_, postponedFile_));
        for (size_t i = postponed.size(); i-- > 0;) {
            PostponedRequest request = postponed[i];
            if (Request(request.url)) {
                postponed.Erase(i);
            } else {
                std::optional<std::string> next = NextAttempt(request.attempts);
                if (next && *next != "5")
                    postponed.SetAttempts(i, *next);
                else
                    postponed.Erase(i);
            }
            WriteList(fs_, postponedFile_, postponed.lines());
            if (OutOfTime()) break;
        }
        fs_.Remove(replyFile_);
    }

    // More than the time budget has passed since the lock was taken. The difference of the
    // two tick counts is taken unsigned, so a wrap of the counter does no harm.
    bool OutOfTime() const { return static_cast<uint32_t>(env_.tickCount() - start_) > kTimeBudgetMs; }

private:
    // A queued or postponed request; its reply goes to "reply.dat". One longer than a list line
    // fails without being sent.
    bool Request(const std::string& url) {
        return url.size() <= env_.maxLine && env_.httpGet(url, replyFile_, TInetConn::kNoBodyLimit);
    }

    // The attempt count after one more failure, as written back; none for a count that is not
    // a decimal number, which then counts as the last attempt.
    static std::optional<std::string> NextAttempt(const std::string& attempts) {
        try {
            int32_t count = StrToInt(attempts);
            return std::to_string(static_cast<int32_t>(static_cast<uint32_t>(count) + 1u));
        } catch (const EConvertError&) {
            return std::nullopt;
        }
    }

    const RunEnv& env_;
    FileSys& fs_;
    const std::string dir_;
    const std::string queueFile_;
    const std::string postponedFile_;
    const std::string downloadedFile_;
    const std::string replyFile_;
    const std::string updateListFile_;
    uint32_t start_ = 0;
    std::unique_ptr<FileLock> lock_;
};

}  // namespace

RunEnv ConnectedRunEnv(TInetConn& conn, FileSys& files, std::string internetDir, std::string updateHost,
                       std::function<uint32_t()> tickCount) {
    // A download whose destination a program holds leaves the old file aside, and one that the
    // run ends during leaves its temporary file; a later run removes both.
    conn.placing.leftAsideList = internetDir + "\\" + kLeftAsideList;
    conn.placing.partsList = internetDir + "\\" + kPartsList;
    RunEnv env;
    env.files = &files;
    env.httpGet = [&conn](const std::string& url, const std::string& fileName, uint64_t maxBody) {
        return conn.HttpGet(url, fileName, maxBody);
    };
    env.tickCount = std::move(tickCount);
    env.internetDir = std::move(internetDir);
    env.updateHost = std::move(updateHost);
    return env;
}

RunEnd RunStages(const RunEnv& env) {
    HelperRun run(env);
    if (!run.TakeLock()) return RunEnd::kLockFailed;
    run.RemoveOldFiles();
    run.ServeQueue();
    UpdateList updates;
    if (!run.FetchUpdateList(&updates)) return RunEnd::kNoUpdateList;
    run.DownloadWhatChanged(updates);
    if (run.OutOfTime()) return RunEnd::kOutOfTime;
    run.RetryPostponed();
    return RunEnd::kComplete;
}

}  // namespace nelkar
