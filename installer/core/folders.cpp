// EnsureFolder: creates a folder and its missing parents through the file interface.
#include <vector>

#include "file_system.h"

namespace tessarin {

// Walks up from the folder to the first one that exists (or to a bare drive), then creates
// the missing ones from the top down. Iterative, and every level is a prefix of path, so a
// name of any depth costs one list of lengths instead of a stack frame and a copy per level.
void EnsureFolder(FileSystem& fs, const std::string& path) {
    std::vector<size_t> missing;  // lengths of the folders to create, deepest first
    size_t len = path.size();
    while (len > 0) {
        if (path[len - 1] == '\\')
            --len;
        // A bare drive ("C:") or an existing folder needs nothing.
        if (len <= 2 || fs.FolderExists(path.substr(0, len)))
            break;
        size_t slash = path.rfind('\\', len - 1);
        size_t parentLen = slash == std::string::npos ? 0 : slash + 1;
        // A parent equal to the folder itself (a doubled trailing backslash) ends the walk.
        if (parentLen == len)
            break;
        missing.push_back(len);
        len = parentLen;
    }
    for (size_t i = missing.size(); i-- > 0;)
        fs.MakeFolder(path.substr(0, missing[i]));
}

}  // namespace tessarin
