// The installation record and the Start-menu shortcut through the registry and the shell.
// Every routine opens its key, does one read or write and closes it again.
#include "api.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstring>
#include <vector>

#include "record.h"
#include "win32_files.h"
#include "windows_support.h"

namespace tessarin {

using winsupport::ComPtr;
using winsupport::SystemErrorText;

using winsupport::UniqueKey;

namespace {

// Opens a current-user key with full access; never creates it. The leading backslash of the
// stored paths means "from the hive's root".
bool OpenKey(const char* path, UniqueKey& key) {
    if (*path == '\\') ++path;
    return RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_ALL_ACCESS, key.Out()) == ERROR_SUCCESS;
}

// The type and data of a value, through the ANSI or the wide call; no data when the value is
// absent or empty.
std::vector<char> ReadValue(const char* keyPath, const char* valueName, bool wide, DWORD& type) {
    UniqueKey key;
    OpenKey(keyPath, key);  // a failed open finds nothing below
    std::wstring wideName(valueName, valueName + std::char_traits<char>::length(valueName));  // ASCII names
    auto query = [&](BYTE* data, DWORD* size) {
        return wide ? RegQueryValueExW(key.Get(), wideName.c_str(), nullptr, &type, data, size)
                    : RegQueryValueExA(key.Get(), valueName, nullptr, &type, data, size);
    };
    DWORD size = 0;
    if (query(nullptr, &size) != ERROR_SUCCESS || size == 0) return std::vector<char>();
    std::vector<char> data(size);
    if (query(reinterpret_cast<BYTE*>(data.data()), &size) != ERROR_SUCCESS)
        throw EKitError("ERegistryException", GetDataFailedText(valueName));
    data.resize(size);
    return data;
}

std::string ReadText(const char* keyPath, const char* valueName) {
    DWORD type = 0;
    std::vector<char> data = ReadValue(keyPath, valueName, false, type);
    try {
        return RegistryText(valueName, type, data);
    } catch (const ERegistryError& e) {
        throw EKitError("ERegistryException", e.what());
    }
}

// The same read rule on UTF-16 text: up to its first NUL, any type but text refused.
std::wstring ReadWideText(const char* keyPath, const char* valueName) {
    DWORD type = 0;
    std::vector<char> data = ReadValue(keyPath, valueName, true, type);
    if (data.empty()) return std::wstring();
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        throw EKitError("ERegistryException", InvalidTypeText(valueName));
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(&text[0], data.data(), text.size() * sizeof(wchar_t));
    return text.substr(0, text.find(L'\0'));
}

class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

void CheckCom(HRESULT hr) {
    if (FAILED(hr)) throw EKitError("EOleSysError", SystemErrorText(static_cast<DWORD>(hr)));
}

}  // namespace

bool RegistryRecord::GameRecordExists() {
    UniqueKey key;
    return OpenKey(kGameKey, key);
}

std::string RegistryRecord::ReadInstallDir() { return ReadText(kGameKey, "InstallDir"); }
std::string RegistryRecord::ReadVersion() { return ReadText(kGameKey, "Version"); }
std::string RegistryRecord::ReadLanguage() { return ReadText(kGameKey, "Language"); }
// Wide, because a profile's name may hold characters that the ANSI code page lacks.
std::string ReadProgramsFolder() { return AnsiFolderPath(ReadWideText(kShellFoldersKey, "Programs")); }

void RegistryRecord::WriteVersion(const std::string& text) {
    UniqueKey key;
    std::vector<char> data = RegistryTextData(text);
    if (!OpenKey(kGameKey, key) ||
        RegSetValueExA(key.Get(), "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size())) != ERROR_SUCCESS)
        throw EKitError("ERegistryException", SetDataFailedText("Version"));
}

void ShellShortcuts::CreateShortcut(const std::string& target, const std::string& name) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    CheckCom(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_IShellLinkA, reinterpret_cast<void**>(link.Out())));
    ComPtr<IPersistFile> file;
    CheckCom(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.Out())));

    std::string group = ReadProgramsFolder() + "\\Veltmark - Orvandel";
    Win32FileSystem fs(nullptr, std::string());
    EnsureFolder(fs, group);
    std::string path = group + "\\" + name + ".lnk";
    if (path.size() > MAX_PATH)
        throw EKitError("EKitError", "Shortcut path longer than " + std::to_string(MAX_PATH) + " characters");

    link->SetPath(target.c_str());
    link->SetIconLocation(target.c_str(), 0);
    wchar_t wide[MAX_PATH + 1];
    int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH + 1);
    if (n == 0) wide[0] = L'\0';
    CheckCom(file->Save(wide, TRUE));
}

}  // namespace tessarin
