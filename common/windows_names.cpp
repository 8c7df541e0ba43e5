// The rule for names that Windows opens as something other than a file.
#include "windows_names.h"

#include <algorithm>
#include <string>

namespace winnames {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// Windows takes a component as a device by its base name, up to the first dot and without
// trailing blanks: "con", "Aux .txt", "NUL.", "com1.tar.gz".
bool IsDevice(std::string_view component) {
    std::string_view base = component.substr(0, component.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    std::string up;
    for (char c : base) up += Upper(c);
    for (std::string_view device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (up == device) return true;
    if (up.size() != 4 || (up.compare(0, 3, "COM") != 0 && up.compare(0, 3, "LPT") != 0)) return false;
    unsigned char digit = static_cast<unsigned char>(up[3]);
    // Code page 1252's superscript one, two and three, which Windows takes as the digits.
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

// "..", and what Windows may read as ".." once it drops trailing dots and blanks ("...",
// ".. ", ". ."): a component of dots and blanks with two or more dots. No file needs such a name.
bool ClimbsOut(std::string_view component) {
    return component.find_first_not_of(". ") == std::string_view::npos &&
           std::count(component.begin(), component.end(), '.') >= 2;
}

}  // namespace

size_t PrefixLength(std::string_view name) {
    if (name.size() >= 2 && IsLetter(name[0]) && name[1] == ':')
        return name.size() >= 3 && IsSeparator(name[2]) ? 3 : 2;
    return !name.empty() && IsSeparator(name[0]) ? 1 : 0;
}

bool IsSafeName(std::string_view name, Prefix prefix) {
    // The file calls end a name at a NUL and refuse the other control characters: the name
    // would be cut ("evil<NUL>.txt" written as "evil") or fail unexplained.
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20) return false;
    size_t skip = PrefixLength(name);
    if (skip > 0 && prefix == Prefix::kNone) return false;
    std::string_view rest = name.substr(skip);
    // "ReadMe.txt:x" is the stream "x" of the file "ReadMe.txt".
    if (rest.empty() || rest.find(':') != std::string_view::npos) return false;
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = start;
        while (end < rest.size() && !IsSeparator(rest[end])) ++end;
        std::string_view component = rest.substr(start, end - start);
        if (ClimbsOut(component) || IsDevice(component)) return false;
        start = end + 1;
    }
    return true;
}

}  // namespace winnames
