// EnsureFolder: creates a folder and its missing parents through the file interface.
#include "file_system.h"

namespace tessarin {

void EnsureFolder(FileSystem& fs, const std::string& path) {
    if (path.empty())
        return;
    std::string dir = path;
    if (dir.back() == '\\')
        dir.pop_back();
    // A bare drive ("C:") or an existing folder needs nothing.
    if (dir.size() <= 2 || fs.FolderExists(dir))
        return;
    size_t slash = dir.rfind('\\');
    std::string parent = slash == std::string::npos ? std::string() : dir.substr(0, slash + 1);
    if (parent != dir) {
        EnsureFolder(fs, parent);
        fs.MakeFolder(dir);
    }
}

}  // namespace tessarin
