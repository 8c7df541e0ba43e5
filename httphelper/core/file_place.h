// How a finished download takes the place of its destination while other programs hold files:
// a replace retried while a scanner looks at the file, and an old file that a running program
// or a loaded library holds moved aside, to be removed by a later run.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "file_system.h"

namespace nelkar {

// A replace refused because another program holds the destination is tried again for this
// long, every kPlaceRetryStepMs: a scanner that saw the file being written lets go by then.
constexpr uint32_t kPlaceRetryMs = 1000;
constexpr uint32_t kPlaceRetryStepMs = 100;

// The files left aside, a list in the exchange folder: pairs of lines, the full name of an old
// file as left aside and the full name of the destination it was moved away from.
extern const char* const kLeftAsideList;  // "replaced.dat"

// The temporary files of downloads under way, a list in the exchange folder: the full name of
// each, listed before the file is made and until it is gone or in place, so that the next run
// removes what a run ended during a download left.
extern const char* const kPartsList;  // "parts.dat"

struct Placing {
    // Waits the given milliseconds between two attempts; none: the attempts follow at once.
    std::function<void(uint32_t ms)> wait;
    // The list of files left aside (kLeftAsideList in the exchange folder); empty: a held
    // destination is not moved aside.
    std::string leftAsideList;
    // The list of temporary downloads (kPartsList in the exchange folder); empty: they are not
    // listed, and one that a run ended during stays.
    std::string partsList;
};

// The temporary name of a download beside `dest` at the given attempt: "NAME.part", then
// "NAME.part2" to "NAME.part9" (kDownloadTempNames in all).
constexpr int kDownloadTempNames = 9;
std::string DownloadTempName(const std::string& dest, int attempt = 1);

// Makes the temporary file of a download of `dest` under the first of its names that no file
// or folder has (another program's file there, a browser's unfinished download or a player's
// own, stays as it is), with a create that fails where the name exists; a name that does not
// fit in kMaxPath characters is not tried. The name goes to `*temp`, and to the list of
// temporary downloads before the file is made. Throws EFileError when every name is taken or
// the file cannot be made.
std::unique_ptr<OutFile> CreateDownloadTemp(FileSys& fs, const std::string& dest, const Placing& placing,
                                            std::string* temp);

// Removes a download's temporary file made by CreateDownloadTemp, unless it is now in place of
// its destination, then its line in the list of temporary downloads.
void EndDownloadTemp(FileSys& fs, const std::string& temp, bool inPlace, const Placing& placing);

// Removes the temporary downloads that earlier runs listed and left; one that cannot go yet
// stays listed. A list that cannot be read or written is left for a later run.
void RemoveUnfinishedDownloads(FileSys& fs, const std::string& partsList);

// Moves the finished download `temp` over `dest`. A replace refused because `dest` is held is
// retried for kPlaceRetryMs. Still held, `dest` is renamed aside in its own folder ("NAME.old",
// else "NAME.old2" to "NAME.old9"), listed first so that a run ended between the two moves
// leaves it found, and `temp` moved to `dest`; if that fails, the old file goes back. False when
// `temp` did not take the place; it is then left for the caller to remove. Throws EFileError
// when the list cannot be written.
bool PutInPlace(FileSys& fs, const std::string& temp, const std::string& dest, const Placing& placing);

// Removes the files that earlier runs left aside. One that cannot go yet (still loaded) stays
// listed for a later run; one whose destination is missing (a run ended between the two moves)
// goes back to it. A list that cannot be read or written is left for a later run.
void RemoveLeftAside(FileSys& fs, const std::string& leftAsideList);

}  // namespace nelkar
