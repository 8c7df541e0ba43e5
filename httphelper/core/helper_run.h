// One run of the helper: the mode chosen by the command line and the steps of run mode over
// the exchange files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "file_system.h"

namespace nelkar {

extern const char* const kUpdateListPath;  // "/games/Veltmark-OR/updates/vmorlist.dat"
constexpr uint32_t kTimeBudgetMs = 180000;
// An update list larger than this, or with a longer line, counts as not fetched; a queued or
// postponed request longer than a list line fails without being sent.
constexpr size_t kMaxUpdateListBytes = 1 << 20;
constexpr size_t kMaxListLine = 4096;

// True when the first argument selects set-up mode ("/C" or "-C", any letter case).
bool IsSetupMode(const std::vector<std::string>& args);

// What a run needs from the program.
struct RunEnv {
    FileSys* files = nullptr;
    // One request (TInetConn::HttpGet): true when the reply passed and its body, of at most
    // `maxBody` bytes (TInetConn::kNoBodyLimit: any size), is stored in `fileName`.
    std::function<bool(const std::string& url, const std::string& fileName, uint64_t maxBody)> httpGet;
    std::function<uint32_t()> tickCount;
    std::string internetDir;  // the exchange folder, no trailing separator
    std::string updateHost;   // host of the update list
    // The limits of the lists; tests lower them.
    size_t maxUpdateList = kMaxUpdateListBytes;
    size_t maxLine = kMaxListLine;
};

class TInetConn;

// A run whose requests go through `conn` and whose files are `files`; `conn` leaves the old
// file of a held destination aside, listed in the exchange folder for the run to remove.
RunEnv ConnectedRunEnv(TInetConn& conn, FileSys& files, std::string internetDir, std::string updateHost,
                       std::function<uint32_t()> tickCount);

// True for an update list destination that may be written: below the current folder `cwd`
// (IsSafeRelativePath), short enough that its temporary download name fits in kMaxPath, and
// neither the exchange folder nor anything in it, by name (PathIsWithin) or by what it opens
// (FileSys::SameFile of the destination and each folder on its way).
bool DestinationAllowed(FileSys& fs, const std::string& cwd, const std::string& internetDir,
                        const std::string& dest);

// How far a run got, for tests.
enum class RunEnd {
    kLockFailed,    // another run holds the lock, or there is no exchange folder
    kNoUpdateList,  // the queue was served; the update list could not be fetched
    kOutOfTime,     // the queue was served and the changed files fetched; no time was left
    kComplete,      // the postponed requests were retried too
};

// One run: take the lock, remove the old files and the unfinished downloads that earlier runs
// left, serve the queue, fetch the update list, download what changed, retry the postponed
// requests. Throws on a failure that ends the program (a list that cannot be read or written);
// the lock is released when the call returns either way.
RunEnd RunStages(const RunEnv& env);

}  // namespace nelkar
