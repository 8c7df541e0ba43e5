// A download put in place of a destination that other programs may hold.
#include "file_place.h"

#include "file_util.h"
#include "lists.h"
#include "windows_names.h"

namespace nelkar {

const char* const kLeftAsideList = "replaced.dat";
const char* const kPartsList = "parts.dat";

std::string DownloadTempName(const std::string& dest, int attempt) {
    return dest + ".part" + (attempt == 1 ? std::string() : std::to_string(attempt));
}

namespace {

bool Held(MoveResult r) { return r == MoveResult::kInUse || r == MoveResult::kDenied; }

// The name as the system resolves it from the current folder: a later run may be started in
// another one.
std::string FullPath(FileSys& fs, const std::string& path) {
    if (winnames::PrefixLength(path) > 0) return path;
    std::string dir = fs.CurrentDir();
    if (!dir.empty() && dir.back() != '\\' && dir.back() != '/') dir += '\\';
    return dir + path;
}

// A free name beside `dest` for its old file; an earlier one may still be loaded. Empty when
// every name is taken.
std::string AsideName(FileSys& fs, const std::string& dest) {
    for (int n = 1; n <= 9; ++n) {
        std::string name = dest + ".old" + (n == 1 ? "" : std::to_string(n));
        if (!fs.FileExists(name) && !fs.DirExists(name)) return name;
    }
    return "";
}

// A list of the helper's own that no file means empty.
Lines ReadOwnList(FileSys& fs, const std::string& list) {
    return fs.FileExists(list) ? ReadList(fs, list) : Lines();
}

// The listed pairs; an odd last line is no pair.
Lines ReadLeftAside(FileSys& fs, const std::string& list) {
    Lines lines = ReadOwnList(fs, list);
    if (lines.size() % 2) lines.erase(lines.size() - 1);
    return lines;
}

// An empty list leaves no file behind.
void StoreOwnList(FileSys& fs, const std::string& list, const Lines& lines) {
    if (lines.empty())
        fs.Remove(list);
    else
        WriteList(fs, list, lines);
}

bool Taken(FileSys& fs, const std::string& name) { return fs.FileExists(name) || fs.DirExists(name); }

// Adds the full name of a temporary download to the list, or drops it.
void ListDownloadTemp(FileSys& fs, const Placing& placing, const std::string& temp, bool listed) {
    if (placing.partsList.empty()) return;
    Lines lines = ReadOwnList(fs, placing.partsList);
    const std::string full = FullPath(fs, temp);
    Lines kept;
    for (std::string_view line : lines)
        if (line != full) kept.push_back(line);
    if (listed) kept.push_back(full);
    StoreOwnList(fs, placing.partsList, kept);
}

}  // namespace

bool PutInPlace(FileSys& fs, const std::string& temp, const std::string& dest, const Placing& placing) {
    MoveResult r = fs.Replace(temp, dest, ReadOnlyTarget::kClear);
    for (uint32_t waited = 0; Held(r) && waited < kPlaceRetryMs; waited += kPlaceRetryStepMs) {
        if (placing.wait) placing.wait(kPlaceRetryStepMs);
        r = fs.Replace(temp, dest, ReadOnlyTarget::kClear);
    }
    if (r == MoveResult::kMoved) return true;
    if (!Held(r) || placing.leftAsideList.empty() || !fs.FileExists(dest)) return false;

    // Windows renames a running program or a loaded library, though it refuses to overwrite it.
    const std::string aside = AsideName(fs, dest);
    if (aside.empty()) return false;
    const std::string& list = placing.leftAsideList;
    Lines listed = ReadLeftAside(fs, list);
    Lines withAside = listed;
    withAside.push_back(FullPath(fs, aside));
    withAside.push_back(FullPath(fs, dest));
    WriteList(fs, list, withAside);
    if (fs.Move(dest, aside) == MoveResult::kMoved) {
        if (fs.Move(temp, dest) == MoveResult::kMoved) return true;
        // Still listed, an old file that cannot go back now does so at the next run's start.
        if (fs.Move(aside, dest) != MoveResult::kMoved) return false;
    }
    StoreOwnList(fs, list, listed);
    return false;
}

std::unique_ptr<OutFile> CreateDownloadTemp(FileSys& fs, const std::string& dest, const Placing& placing,
                                            std::string* temp) {
    for (int attempt = 1; attempt <= kDownloadTempNames; ++attempt) {
        const std::string name = DownloadTempName(dest, attempt);
        if (name.size() >= kMaxPath) break;
        // A taken name is passed over before it is listed, so that the next run never removes
        // a file of another program; the create itself refuses one that appears meanwhile.
        if (Taken(fs, name)) continue;
        ListDownloadTemp(fs, placing, name, true);
        try {
            std::unique_ptr<OutFile> file = fs.Create(name, Existing::kRefuse);
            *temp = name;
            return file;
        } catch (const EFileError&) {
            ListDownloadTemp(fs, placing, name, false);
            if (!Taken(fs, name)) throw;
        }
    }
    throw EFileError("no free temporary name for " + dest);
}

void EndDownloadTemp(FileSys& fs, const std::string& temp, bool inPlace, const Placing& placing) {
    // Still listed, one that cannot be removed now goes at the next run's start.
    if (!inPlace && !fs.Remove(temp)) return;
    ListDownloadTemp(fs, placing, temp, false);
}

void RemoveLeftAside(FileSys& fs, const std::string& leftAsideList) {
    try {
        Lines listed = ReadLeftAside(fs, leftAsideList);
        Lines kept;
        for (size_t i = 0; i < listed.size(); i += 2) {
            const std::string aside(listed[i]), dest(listed[i + 1]);
            if (!fs.FileExists(aside)) continue;
            bool done = fs.FileExists(dest) ? fs.Remove(aside) : fs.Move(aside, dest) == MoveResult::kMoved;
            if (!done) {
                kept.push_back(listed[i]);
                kept.push_back(listed[i + 1]);
            }
        }
        if (kept != listed || (listed.empty() && fs.FileExists(leftAsideList)))
            StoreOwnList(fs, leftAsideList, kept);
    } catch (const EFileError&) {
        // Housekeeping only: the run's own work goes on.
    }
}

void RemoveUnfinishedDownloads(FileSys& fs, const std::string& partsList) {
    try {
        Lines listed = ReadOwnList(fs, partsList);
        Lines kept;
        for (std::string_view line : listed) {
            const std::string name(line);
            if (fs.FileExists(name) && !fs.Remove(name)) kept.push_back(line);
        }
        if (kept != listed || (listed.empty() && fs.FileExists(partsList))) StoreOwnList(fs, partsList, kept);
    } catch (const EFileError&) {
        // Housekeeping only, as above.
    }
}

}  // namespace nelkar
