// The helper's proxy settings and how they are loaded from, defaulted in and stored to the
// registry; the reading of Internet Explorer's proxy settings.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace nelkar {

// The proxy port where none is stored or none can be read.
constexpr int32_t kDefaultProxyPort = 3128;

struct Settings {
    bool UseProxy = false;
    std::string ProxyAddr = "proxy";
    int32_t ProxyPort = kDefaultProxyPort;
    int32_t DebugLevel = 0;
};

// A registry value as read: missing, a 32-bit integer, a string, or of another type.
struct RegValue {
    enum Kind { kMissing, kDword, kString, kOther } kind = kMissing;
    uint32_t dword = 0;
    std::string text;

    static RegValue Missing() { return {}; }
    static RegValue Dword(uint32_t v) {
        RegValue r;
        r.kind = kDword;
        r.dword = v;
        return r;
    }
    static RegValue String(std::string s) {
        RegValue r;
        r.kind = kString;
        r.text = std::move(s);
        return r;
    }
    static RegValue Other() {
        RegValue r;
        r.kind = kOther;
        return r;
    }
};

// An open registry key. Writes throw on failure.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual RegValue Read(const std::string& name) = 0;
    virtual void WriteDword(const std::string& name, uint32_t value) = 0;
    virtual void WriteString(const std::string& name, const std::string& value) = 0;
};

// A text that is not an integer.
class EConvertError : public std::runtime_error {
public:
    explicit EConvertError(const std::string& text) : std::runtime_error(text) {}
};

// Decimal text (leading blanks and a sign allowed) to a 32-bit integer; throws EConvertError
// with "'text' is not a valid integer value".
int32_t StrToInt(const std::string& text);

extern const char* const kSettingsKey;  // "Software\Talvorek" under HKEY_CURRENT_USER
extern const char* const kUseProxyValue;
extern const char* const kProxyAddrValue;
extern const char* const kProxyPortValue;
extern const char* const kDebugLevelValue;

// Reads the four values, writing the default of every one that is missing or mistyped.
Settings LoadSettings(RegistryKey& key);
// Writes all four values.
void SaveSettings(RegistryKey& key, const Settings& s);

// Internet Explorer, from its registry values.
extern const char* const kHttpHandlerKey;  // HKEY_CLASSES_ROOT
extern const char* const kIESettingsKey;   // HKEY_CURRENT_USER
std::string DefaultBrowserFrom(const RegValue& ddeApplication);
bool IEProxyEnabledFrom(const RegValue& proxyEnable);
// The proxy of HTTP requests in "ProxyServer": "host:port", the "http=" entry of per-protocol
// entries ("http=host:port;https=host:port", blanks around an entry allowed), else an entry
// without a protocol, else the first, with or without a scheme ("http://host:port"). The host is
// empty for a missing value and "proxy" for one that is not a string; the port is
// kDefaultProxyPort where none is given or none parses.
std::string IEProxyHostFrom(const RegValue& proxyServer);
int32_t IEProxyPortFrom(const RegValue& proxyServer);
// Whether HTTP requests go through Internet Explorer's proxy: "ProxyEnable" is on, and
// "ProxyServer" is not made of entries for other protocols alone ("https=p:8443;socks=p:1080"),
// with which Internet Explorer sends HTTP requests directly.
bool IEProxyUsedFrom(const RegValue& proxyEnable, const RegValue& proxyServer);

}  // namespace nelkar
