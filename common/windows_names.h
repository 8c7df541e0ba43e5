// The names that Windows opens as something other than a file below a folder: devices, names
// with control characters, stream names and components that climb out. One rule for the
// installer's extractor and the helper's downloads (the payload check applies the same rule,
// held to the same table of names by its test).
#pragma once

#include <cstddef>
#include <string_view>

namespace winnames {

// What may stand before the name proper.
enum class Prefix {
    kNone,         // nothing: a name with a drive or root is refused
    kDriveOrRoot,  // one drive ("C:\", "C:") or root ("\"), which the caller drops from the name
};

// Length of a leading drive ("C:\\" or "C:/", "C:") or root ("\\" or "/"), 0 when there is
// none: where the part of a path below its drive and root begins.
size_t PrefixLength(std::string_view name);

// True when Windows, given `name` below a folder, opens a file there (or in a folder below
// it). Refused: a NUL or control character (0x01 to 0x1F) anywhere; a ":" other than that of
// an allowed drive (the rest would name a stream of a file); a component that names a device
// (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, also with the superscript digits one to
// three of code page 1252, CONIN$, CONOUT$; in any letter case, also with an extension,
// trailing dots or blanks); a component of dots and blanks with two or more dots (".." and
// what Windows reads as ".."); an empty name. "\" and "/" both separate components; the name
// is in the ANSI code page.
bool IsSafeName(std::string_view name, Prefix prefix);

}  // namespace winnames
