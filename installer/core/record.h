// The game's installation record: value typing, the edition and level tests, and the texts
// the update run shows. The registry access itself lives in the Win32 layer.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessarin {

// Registry value types as the system numbers them.
enum RegistryType : uint32_t {
    kRegNone = 0,
    kRegText = 1,
    kRegExpandText = 2,
    kRegBinary = 3,
    kRegNumber = 4,
    kRegTextList = 7,
};

// A registry read or write that the run does not handle.
class ERegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* kGameKey = "\\Software\\Talvorek\\Veltmark : Orvandel";
inline constexpr const char* kShellFoldersKey =
    "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
inline constexpr const char* kUpdateVersion = "2.2";

// "Invalid data type for 'NAME'" and its siblings.
std::string InvalidTypeText(const std::string& valueName);
std::string GetDataFailedText(const std::string& valueName);
std::string SetDataFailedText(const std::string& valueName);

// The text of a value read with its type: up to the first NUL for plain and expandable text
// (no expansion); empty for no data; any other type throws ERegistryError.
std::string RegistryText(const std::string& valueName, uint32_t type, const std::vector<char>& data);

// The data written for a text value: its characters and one terminating NUL.
std::vector<char> RegistryTextData(const std::string& text);

// Edition test: ASCII letters lower-cased, then exactly "german".
bool IsGermanEdition(const std::string& language);

// Level test: byte-wise unsigned order, a prefix first; true when version orders before "2.2".
bool OrdersBeforeUpdate(const std::string& version);

// The message of a failed edition test, with the stored language as it is.
std::string WrongEditionText(const std::string& language);

// The top-level error box text: "Exception %s in module %s at %p.\n%s%s".
std::string ApplicationErrorText(const std::string& className, const std::string& module,
                                 const std::string& address, const std::string& message);

}  // namespace tessarin
