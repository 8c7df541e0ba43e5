// List files of the exchange folder: lines ending in CR, LF or CR LF when read, CR LF after
// every line when written. Every write replaces the file crash-safely.
#pragma once

#include <string>
#include <vector>

#include "file_system.h"

namespace nelkar {

using Lines = std::vector<std::string>;

Lines SplitLines(const std::string& text);
std::string JoinLines(const Lines& lines);

Lines ReadList(FileSys& fs, const std::string& path);  // throws EFileError

// Writes the new content to a temporary file in the same folder and moves it over `path`;
// when the move is refused (the game holds the file open), rewrites `path` in place.
void WriteList(FileSys& fs, const std::string& path, const Lines& lines);

// The temporary file name used beside `path`.
std::string TempNameFor(const std::string& path);

}  // namespace nelkar
