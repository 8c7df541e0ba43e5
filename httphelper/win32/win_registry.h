// The helper's registry: its settings key and the read-only browser values.
#pragma once

#include "settings.h"
#include "windows_support.h"

namespace nelkar {

// HKEY_CURRENT_USER "Software\Talvorek", opened or created; throws when that fails.
class WinRegistryKey : public RegistryKey {
public:
    WinRegistryKey(HKEY root, const char* path);
    RegValue Read(const std::string& name) override;
    void WriteDword(const std::string& name, uint32_t value) override;
    void WriteString(const std::string& name, const std::string& value) override;

private:
    winsupport::UniqueKey key_;
};

// One value of an existing key, read only; missing when the key or value is.
RegValue ReadRegistryValue(HKEY root, const char* path, const char* name);

}  // namespace nelkar
