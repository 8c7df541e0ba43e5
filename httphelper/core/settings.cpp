// Loading, defaulting and storing of the proxy settings; Internet Explorer's settings.
#include "settings.h"

#include <algorithm>
#include <cctype>

namespace nelkar {

const char* const kSettingsKey = "Software\\Talvorek";
const char* const kUseProxyValue = "nelkarUseProxy";
const char* const kProxyAddrValue = "nelkarProxyAddr";
const char* const kProxyPortValue = "nelkarProxyPort";
const char* const kDebugLevelValue = "nelkarDebugLevel";
const char* const kHttpHandlerKey = "http\\shell\\open\\ddeexec\\Application";
const char* const kIESettingsKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

int32_t StrToInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    size_t digits = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits) {
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL) break;
    }
    if (digits == 0 || i != text.size() || value > (negative ? 2147483648LL : 2147483647LL))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return static_cast<int32_t>(negative ? -value : value);
}

Settings LoadSettings(RegistryKey& key) {
    Settings s;
    RegValue v = key.Read(kUseProxyValue);
    if (v.kind == RegValue::kDword) {
        s.UseProxy = v.dword != 0;
    } else {
        s.UseProxy = false;
        key.WriteDword(kUseProxyValue, 0);
    }

    v = key.Read(kProxyAddrValue);
    if (v.kind == RegValue::kString || v.kind == RegValue::kMissing) {
        s.ProxyAddr = v.text;
    } else {
        s.ProxyAddr = "proxy";
        key.WriteString(kProxyAddrValue, s.ProxyAddr);
    }
    if (s.ProxyAddr.empty()) {
        s.ProxyAddr = "proxy";
        key.WriteString(kProxyAddrValue, s.ProxyAddr);
    }

    v = key.Read(kProxyPortValue);
    if (v.kind == RegValue::kDword) {
        s.ProxyPort = static_cast<int32_t>(v.dword);
    } else {
        s.ProxyPort = kDefaultProxyPort;
        key.WriteDword(kProxyPortValue, kDefaultProxyPort);
    }

    v = key.Read(kDebugLevelValue);
    if (v.kind == RegValue::kDword) {
        s.DebugLevel = static_cast<int32_t>(v.dword);
    } else {
        s.DebugLevel = 0;
        key.WriteDword(kDebugLevelValue, 0);
    }
    return s;
}

void SaveSettings(RegistryKey& key, const Settings& s) {
    key.WriteDword(kUseProxyValue, s.UseProxy ? 1 : 0);
    key.WriteString(kProxyAddrValue, s.ProxyAddr);
    key.WriteDword(kProxyPortValue, static_cast<uint32_t>(s.ProxyPort));
    key.WriteDword(kDebugLevelValue, static_cast<uint32_t>(s.DebugLevel));
}

std::string DefaultBrowserFrom(const RegValue& v) {
    if (v.kind == RegValue::kString) return v.text;
    if (v.kind == RegValue::kMissing) return "";
    return "ZodovIdazeRorerev";
}

bool IEProxyEnabledFrom(const RegValue& v) { return v.kind == RegValue::kDword && v.dword != 0; }

namespace {

std::string WithoutBlanks(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(" \t") + 1 - first);
}

// What a "ProxyServer" text gives HTTP requests.
struct HttpProxy {
    std::string address;  // "host:port" or "host"
    bool direct = false;  // Internet Explorer sends them without the proxy
};

// "host:port" as it stands; of per-protocol entries ("http=host:port;https=host:port", blanks
// around an entry or its "=" allowed) the "http=" one, else one without a protocol, which
// serves every protocol. Entries for other protocols alone leave HTTP requests direct; the
// first of them is still the address, which the dialog shows. Either way without a scheme
// ("http://") and a trailing "/".
HttpProxy HttpProxyFrom(const std::string& text) {
    HttpProxy chosen;
    bool found = false, forHttp = false;
    for (size_t start = 0; start <= text.size();) {
        size_t end = std::min(text.find(';', start), text.size());
        std::string entry = WithoutBlanks(text.substr(start, end - start));
        start = end + 1;
        if (entry.empty()) continue;
        size_t eq = entry.find('=');
        bool perProtocol = eq != std::string::npos && entry.find(':') > eq;
        bool http = false;
        if (perProtocol) {
            std::string protocol = WithoutBlanks(entry.substr(0, eq));
            for (char& c : protocol) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            http = protocol == "http";
            entry = WithoutBlanks(entry.substr(eq + 1));
        }
        if (http || (!perProtocol && !forHttp) || !found) {
            chosen.address = entry;
            found = true;
            forHttp = http || !perProtocol;
        }
        if (http) break;
    }
    chosen.direct = found && !forHttp;
    size_t scheme = chosen.address.find("://");
    if (scheme != std::string::npos) chosen.address.erase(0, scheme + 3);
    chosen.address = chosen.address.substr(0, chosen.address.find('/'));
    return chosen;
}

}  // namespace

std::string IEProxyHostFrom(const RegValue& v) {
    if (v.kind == RegValue::kMissing) return "";
    if (v.kind != RegValue::kString) return "proxy";
    std::string address = HttpProxyFrom(v.text).address;
    return address.substr(0, address.find(':'));
}

bool IEProxyUsedFrom(const RegValue& proxyEnable, const RegValue& proxyServer) {
    return IEProxyEnabledFrom(proxyEnable) &&
           !(proxyServer.kind == RegValue::kString && HttpProxyFrom(proxyServer.text).direct);
}

int32_t IEProxyPortFrom(const RegValue& v) {
    if (v.kind != RegValue::kString) return kDefaultProxyPort;
    std::string address = HttpProxyFrom(v.text).address;
    size_t colon = address.find(':');
    if (colon == std::string::npos) return kDefaultProxyPort;
    try {
        return StrToInt(address.substr(colon + 1));
    } catch (const EConvertError&) {
        return kDefaultProxyPort;  // the set-up dialog shows all the same, with the default port
    }
}

}  // namespace nelkar
