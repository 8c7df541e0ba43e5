// Folder creation and the path rules of the helper (Windows path syntax, portable logic).
#pragma once

#include <string>

#include "file_system.h"

namespace nelkar {

// Creates every missing folder of `path`; folders whose remaining path is shorter than three
// characters are taken as existing, and a failure to create one is ignored.
void CreateDirPath(FileSys& fs, const std::string& path);

// The folder part of a file name: the text before the last "\" or ":", keeping the
// separator only when that folder is a drive root ("C:\", "C:").
std::string ExtractFileDir(const std::string& file_name);

// The text up to and including the last "\" or ":" ("" when there is none).
std::string ExtractFilePath(const std::string& file_name);

// True for a destination that stays below the current folder: not absolute, no drive or UNC
// share, no ":" at all and no ".." component (with "\" or "/" as separators), not empty.
bool IsSafeRelativePath(const std::string& path);

}  // namespace nelkar
