// How a finished download takes the place of its destination while other programs hold files:
// a replace retried while a scanner looks at the file, and an old file that a running program
// or a loaded library holds moved aside, to be removed by a later run.
#pragma once

#include <cstdint>
#include <functional>
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

struct Placing {
    // Waits the given milliseconds between two attempts; none: the attempts follow at once.
    std::function<void(uint32_t ms)> wait;
    // The list of files left aside (kLeftAsideList in the exchange folder); empty: a held
    // destination is not moved aside.
    std::string leftAsideList;
};

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
