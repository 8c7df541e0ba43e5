// Win32 only: registry values through advapi32, typed as the settings rules need them.
#include "win_registry.h"

#include <cstring>
#include <stdexcept>
#include <vector>

namespace nelkar {

using winsupport::SystemErrorText;
using winsupport::UniqueKey;

namespace {

RegValue ReadFrom(HKEY key, const char* name) {
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return RegValue::Missing();
    std::vector<char> data(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
        ERROR_SUCCESS)
        return RegValue::Missing();
    if (type == REG_DWORD && size == 4) {
        uint32_t v;
        std::memcpy(&v, data.data(), 4);
        return RegValue::Dword(v);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) return RegValue::String(std::string(data.data()));
    return RegValue::Other();
}

}  // namespace

WinRegistryKey::WinRegistryKey(HKEY root, const char* path) {
    LONG rc = RegCreateKeyExA(root, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE, nullptr,
                              key_.Out(), nullptr);
    if (rc != ERROR_SUCCESS) throw std::runtime_error(SystemErrorText(static_cast<DWORD>(rc)));
}

RegValue WinRegistryKey::Read(const std::string& name) { return ReadFrom(key_.Get(), name.c_str()); }

void WinRegistryKey::WriteDword(const std::string& name, uint32_t value) {
    DWORD v = value;
    LONG rc =
        RegSetValueExA(key_.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
    if (rc != ERROR_SUCCESS) throw std::runtime_error(SystemErrorText(static_cast<DWORD>(rc)));
}

void WinRegistryKey::WriteString(const std::string& name, const std::string& value) {
    LONG rc =
        RegSetValueExA(key_.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>(value.size() + 1));
    if (rc != ERROR_SUCCESS) throw std::runtime_error(SystemErrorText(static_cast<DWORD>(rc)));
}

RegValue ReadRegistryValue(HKEY root, const char* path, const char* name) {
    UniqueKey key;
    if (RegOpenKeyExA(root, path, 0, KEY_READ, key.Out()) != ERROR_SUCCESS) return RegValue::Missing();
    return ReadFrom(key.Get(), name);
}

}  // namespace nelkar
