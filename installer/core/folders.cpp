// EnsureFolder: creates a folder and its missing parents through the file interface.
#include <vector>

#include "file_system.h"
#include "windows_names.h"

namespace tessarin {

// Walks up from the folder to the first one that exists (or to a bare drive), then creates
// the missing ones from the top down. Every level is a prefix of path, so one string is cut
// on the way up and grown again on the way down: a name of any depth costs a list of lengths,
// not a stack frame and a copy of the path per level.
WriteRefusal EnsureFolder(FileSystem& fs, const std::string& path) {
    std::vector<size_t> missing;  // lengths of the folders to create, deepest first
    std::string dir = path;
    while (!dir.empty()) {
        if (dir.back() == '\\') dir.pop_back();
        // A bare drive ("C:") or an existing folder needs nothing.
        if (dir.size() <= 2 || fs.FolderExists(dir)) break;
        size_t slash = dir.rfind('\\');
        size_t parent = slash == std::string::npos ? 0 : slash + 1;
        // A parent equal to the folder itself (a doubled trailing backslash) ends the walk.
        if (parent == dir.size()) break;
        missing.push_back(dir.size());
        dir.resize(parent);
    }
    for (size_t i = missing.size(); i-- > 0;) {
        dir.append(path, dir.size(), missing[i] - dir.size());
        if (WriteRefusal refusal = fs.MakeFolder(dir)) return refusal;
    }
    return WriteRefusal();
}

std::string VirtualStoreFolder(const std::string& localAppData) {
    if (localAppData.empty()) return std::string();
    return localAppData + (localAppData.back() == '\\' ? "" : "\\") + "VirtualStore";
}

std::string VirtualStoreCopy(const std::string& localAppData, const std::string& path) {
    // A drive with its root ("C:\\"), and a name below it.
    const size_t kDriveAndRoot = 3;
    if (winnames::PrefixLength(path) != kDriveAndRoot || path.size() == kDriveAndRoot || localAppData.empty())
        return std::string();
    return VirtualStoreFolder(localAppData) + path.substr(2);
}

}  // namespace tessarin
