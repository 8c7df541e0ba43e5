// Folder creation and the path rules of the helper (Windows path syntax, portable logic).
#pragma once

#include <cstddef>
#include <string>

#include "file_system.h"

namespace nelkar {

// MAX_PATH of the ANSI file calls, the terminating zero included: a longer name fails there.
constexpr size_t kMaxPath = 260;

// Creates every missing folder of `path`, parents first; folders whose remaining path is
// shorter than three characters are taken as existing, and a failure to create one is
// ignored. A path of kMaxPath characters or more creates nothing.
void CreateDirPath(FileSys& fs, const std::string& path);

// The folder part of a file name: the text before the last "\" or ":", keeping the
// separator only when that folder is a drive root ("C:\", "C:").
std::string ExtractFileDir(const std::string& fileName);

// The text up to and including the last "\" or ":" ("" when there is none).
std::string ExtractFilePath(const std::string& fileName);

// True for a destination that Windows opens as a file below the current folder: relative (no
// drive, root or share), and safe by the name rule of windows_names.h (no device, control
// character, stream name or component that climbs out; "\" and "/" separate), not empty.
bool IsSafeRelativePath(const std::string& path);

// True when `path` names `folder` or anything inside it, both absolute, compared as Windows
// resolves names: "\" and "/" both separate, empty and "." components vanish, trailing dots
// and blanks of a component do not count, letter case does not count (ASCII), and a
// component shaped like a generated short name ("INTERN~1", "POSTPO~1.DAT") stands for any
// long name it may abbreviate.
bool PathIsWithin(const std::string& path, const std::string& folder);

}  // namespace nelkar
