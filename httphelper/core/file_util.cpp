// Folder creation and the path rules of the helper.
#include "file_util.h"

namespace nelkar {

std::string ExtractFilePath(const std::string& file_name) {
  size_t pos = file_name.find_last_of("\\:");
  if (pos == std::string::npos) return "";
  return file_name.substr(0, pos + 1);
}

std::string ExtractFileDir(const std::string& file_name) {
  size_t pos = file_name.find_last_of("\\:");
  if (pos == std::string::npos) return "";
  // "C:\x" keeps "C:\", "C:x" keeps "C:": a drive root needs its separator.
  if (pos > 0 && (file_name[pos] == ':' || file_name[pos - 1] == ':')) return file_name.substr(0, pos + 1);
  return file_name.substr(0, pos);
}

void CreateDirPath(FileSys& fs, const std::string& path) {
  if (path.empty()) return;
  std::string dir = path;
  if (dir.back() == '\\') dir.pop_back();
  if (dir.size() < 3 || fs.DirExists(dir)) return;
  std::string parent = ExtractFilePath(dir);
  if (parent != dir) CreateDirPath(fs, parent);
  fs.CreateDir(dir);  // a failure shows later, when the file cannot be created
}

bool IsSafeRelativePath(const std::string& path) {
  if (path.empty()) return false;
  if (path[0] == '\\' || path[0] == '/') return false;  // rooted, or a UNC share
  if (path.find(':') != std::string::npos) return false;  // a drive or a stream name
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find_first_of("\\/", start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    // Windows ignores trailing dots and spaces, so ".. " and "..." name the parent too.
    size_t last = part.find_last_not_of(". ");
    if (part.size() >= 2 && last == std::string::npos && part.find("..") != std::string::npos) return false;
    start = end + 1;
  }
  return true;
}

}  // namespace nelkar
