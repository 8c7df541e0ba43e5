// Folder creation and the path rules of the helper.
#include "file_util.h"

#include <string_view>
#include <vector>

#include "windows_names.h"

namespace nelkar {
namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Windows drops trailing dots and blanks of a name.
std::string_view StripTrailingDotsAndBlanks(std::string_view name) {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.remove_suffix(1);
    return name;
}

// The components of a path as Windows resolves them, in upper case: "." and empty ones
// vanish, ".." removes the one before it.
std::vector<std::string> Components(const std::string& path) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        std::string_view raw = std::string_view(path).substr(start, end - start);
        std::string_view name = StripTrailingDotsAndBlanks(raw);
        if (raw == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!name.empty()) {
            std::string up(name);
            for (char& c : up) c = Upper(c);
            parts.push_back(std::move(up));
        }
        start = end + 1;
    }
    return parts;
}

// A name as a generated short name keeps it: blanks gone, characters that short names cannot
// hold turned into "_".
std::string ShortNameChars(std::string_view name, bool dropDots) {
    std::string out;
    for (char c : name) {
        if (c == ' ' || (dropDots && c == '.')) continue;
        if (c == '+' || c == ',' || c == ';' || c == '=' || c == '[' || c == ']') c = '_';
        out += c;
    }
    return out;
}

// True when `shortName` has the shape of a generated short name (up to six characters, "~",
// a number, up to three characters of extension) that may abbreviate `longName`. Both are
// in upper case.
bool MayAbbreviate(const std::string& shortName, const std::string& longName) {
    size_t dot = shortName.rfind('.');
    std::string_view base = std::string_view(shortName).substr(0, dot);
    std::string_view ext =
        dot == std::string::npos ? std::string_view() : std::string_view(shortName).substr(dot + 1);
    size_t tilde = base.find('~');
    if (tilde == std::string_view::npos || tilde == 0 || tilde > 6 || base.size() > 8 || ext.size() > 3)
        return false;
    std::string_view number = base.substr(tilde + 1);
    if (number.empty() || number[0] == '0') return false;
    for (char c : number)
        if (c < '0' || c > '9') return false;
    size_t longDot = longName.rfind('.');
    std::string longBase = ShortNameChars(std::string_view(longName).substr(0, longDot), true);
    std::string longExt =
        longDot == std::string::npos
            ? std::string()
            : ShortNameChars(std::string_view(longName).substr(longDot + 1), false).substr(0, 3);
    return longBase.compare(0, tilde, base.substr(0, tilde)) == 0 && longBase.size() >= tilde &&
           ext == longExt;
}

bool SameName(const std::string& a, const std::string& b) {
    return a == b || MayAbbreviate(a, b) || MayAbbreviate(b, a);
}

}  // namespace

std::string ExtractFilePath(const std::string& fileName) {
    size_t pos = fileName.find_last_of("\\:");
    if (pos == std::string::npos) return "";
    return fileName.substr(0, pos + 1);
}

std::string ExtractFileDir(const std::string& fileName) {
    size_t pos = fileName.find_last_of("\\:");
    if (pos == std::string::npos) return "";
    // "C:\x" keeps "C:\", "C:x" keeps "C:": a drive root needs its separator.
    if (pos > 0 && (fileName[pos] == ':' || fileName[pos - 1] == ':')) return fileName.substr(0, pos + 1);
    return fileName.substr(0, pos);
}

void CreateDirPath(FileSys& fs, const std::string& path) {
    if (path.size() >= kMaxPath) return;
    // Walk up to the first folder that exists, remembering the length of every missing one,
    // then create them from the outside in. A loop over lengths, not a call per level: a deep
    // path costs neither stack nor a copy of itself per level.
    std::vector<size_t> missing;
    size_t len = path.size();
    while (len > 0) {
        if (path[len - 1] == '\\') --len;
        if (len < 3 || fs.DirExists(path.substr(0, len))) break;
        missing.push_back(len);
        size_t sep = path.find_last_of("\\:", len - 1);
        size_t parent = sep == std::string::npos ? 0 : sep + 1;
        if (parent == len) break;  // "ab:" is its own parent
        len = parent;
    }
    for (size_t i = missing.size(); i-- > 0;)
        fs.CreateDir(path.substr(0, missing[i]));  // a failure shows later, when the file cannot be created
}

bool IsSafeRelativePath(const std::string& path) {
    return winnames::IsSafeName(path, winnames::Prefix::kNone);
}

bool PathIsWithin(const std::string& path, const std::string& folder) {
    std::vector<std::string> p = Components(path);
    std::vector<std::string> f = Components(folder);
    if (f.empty() || p.size() < f.size()) return false;
    for (size_t i = 0; i < f.size(); ++i)
        if (!SameName(p[i], f[i])) return false;
    return true;
}

}  // namespace nelkar
