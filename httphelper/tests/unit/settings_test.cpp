// Loading and defaulting of the settings, Internet Explorer's settings, integer conversion.
#include <gtest/gtest.h>

#include <map>

#include "settings.h"
#include "test_server.h"

namespace nelkar {
namespace {

class FakeKey : public RegistryKey {
public:
    std::map<std::string, RegValue> values;
    std::vector<std::string> writes;
    RegValue Read(const std::string& name) override {
        auto it = values.find(name);
        return it == values.end() ? RegValue::Missing() : it->second;
    }
    void WriteDword(const std::string& name, uint32_t v) override {
        values[name] = RegValue::Dword(v);
        writes.push_back(name);
    }
    void WriteString(const std::string& name, const std::string& v) override {
        values[name] = RegValue::String(v);
        writes.push_back(name);
    }
};

TEST(SettingsTest, FirstStartWritesTheFourDefaults) {
    FakeKey key;
    Settings s = LoadSettings(key);
    EXPECT_FALSE(s.UseProxy);
    EXPECT_EQ("proxy", s.ProxyAddr);
    EXPECT_EQ(3128, s.ProxyPort);
    EXPECT_EQ(0, s.DebugLevel);
    EXPECT_EQ(std::vector<std::string>(
                  {"nelkarUseProxy", "nelkarProxyAddr", "nelkarProxyPort", "nelkarDebugLevel"}),
              key.writes);
    EXPECT_EQ(0u, key.values["nelkarUseProxy"].dword);
    EXPECT_EQ("proxy", key.values["nelkarProxyAddr"].text);
    EXPECT_EQ(RegValue::kDword, key.values["nelkarProxyPort"].kind);
    EXPECT_EQ(3128u, key.values["nelkarProxyPort"].dword);
    EXPECT_EQ(0u, key.values["nelkarDebugLevel"].dword);
}

TEST(SettingsTest, StoredValuesAndRepairs) {
    FakeKey key;
    key.values["nelkarUseProxy"] = RegValue::Dword(5);
    key.values["nelkarProxyAddr"] = RegValue::String("");
    key.values["nelkarProxyPort"] = RegValue::String("8080");
    key.values["nelkarDebugLevel"] = RegValue::Dword(0xffffffffu);
    Settings s = LoadSettings(key);
    EXPECT_TRUE(s.UseProxy);
    EXPECT_EQ(5u, key.values["nelkarUseProxy"].dword) << "not rewritten at start";
    EXPECT_EQ("proxy", s.ProxyAddr);
    EXPECT_EQ("proxy", key.values["nelkarProxyAddr"].text);
    EXPECT_EQ(3128, s.ProxyPort);
    EXPECT_EQ(RegValue::kDword, key.values["nelkarProxyPort"].kind);
    EXPECT_EQ(-1, s.DebugLevel);
    EXPECT_EQ(std::vector<std::string>({"nelkarProxyAddr", "nelkarProxyPort"}), key.writes);

    FakeKey typed;
    typed.values["nelkarUseProxy"] = RegValue::String("1");
    typed.values["nelkarProxyAddr"] = RegValue::Dword(7);
    typed.values["nelkarProxyPort"] = RegValue::Dword(81);
    typed.values["nelkarDebugLevel"] = RegValue::Other();
    s = LoadSettings(typed);
    EXPECT_FALSE(s.UseProxy);
    EXPECT_EQ(0u, typed.values["nelkarUseProxy"].dword);
    EXPECT_EQ("proxy", s.ProxyAddr);
    EXPECT_EQ(81, s.ProxyPort);
    EXPECT_EQ(0, s.DebugLevel);
}

TEST(SettingsTest, SaveWritesAllFour) {
    FakeKey key;
    Settings s;
    s.UseProxy = true;
    s.ProxyAddr = "cache";
    s.ProxyPort = 70000;
    s.DebugLevel = 3;
    SaveSettings(key, s);
    EXPECT_EQ(1u, key.values["nelkarUseProxy"].dword);
    EXPECT_EQ("cache", key.values["nelkarProxyAddr"].text);
    EXPECT_EQ(70000u, key.values["nelkarProxyPort"].dword);
    EXPECT_EQ(3u, key.values["nelkarDebugLevel"].dword);
}

TEST(SettingsTest, InternetExplorerValues) {
    EXPECT_EQ("IExplore", DefaultBrowserFrom(RegValue::String("IExplore")));
    EXPECT_EQ("", DefaultBrowserFrom(RegValue::Missing()));
    EXPECT_EQ("ZodovIdazeRorerev", DefaultBrowserFrom(RegValue::Dword(1)));

    EXPECT_TRUE(IEProxyEnabledFrom(RegValue::Dword(1)));
    EXPECT_TRUE(IEProxyEnabledFrom(RegValue::Dword(2)));
    EXPECT_FALSE(IEProxyEnabledFrom(RegValue::Dword(0)));
    EXPECT_FALSE(IEProxyEnabledFrom(RegValue::Missing()));
    EXPECT_FALSE(IEProxyEnabledFrom(RegValue::String("1")));

    // The proxy of HTTP requests, whatever form Internet Explorer's value takes; where no port
    // parses, the default port. Entries for other protocols alone leave HTTP requests direct.
    struct Row {
        RegValue server;
        std::string host;
        int32_t port;
        bool used = true;  // with "ProxyEnable" 1
    } rows[] = {
        {RegValue::String("host:81"), "host", 81},
        {RegValue::String("host"), "host", 3128},
        {RegValue::String("a:1:2"), "a", 3128},
        {RegValue::Missing(), "", 3128},
        {RegValue::Dword(5), "proxy", 3128},
        {RegValue::String(":8080"), "", 8080},
        {RegValue::String("http=proxy:8080;https=proxy:8443"), "proxy", 8080},
        {RegValue::String("https=s:8443;http=h:8080"), "h", 8080},
        {RegValue::String("ftp=f:21;https=s:443"), "f", 21, false},
        {RegValue::String(";https=s:443"), "s", 443, false},
        {RegValue::String("https=p:8443;socks=p:1080"), "p", 8443, false},
        {RegValue::String("https=s:443;"), "s", 443, false},
        {RegValue::String("; http=p:8080"), "p", 8080},
        {RegValue::String("https=s:443 ; http = h:8080 "), "h", 8080},
        {RegValue::String("ftp=f:21;p:80"), "p", 80},
        {RegValue::String("ftp=b:21;HTTP=cache:3129"), "cache", 3129},
        {RegValue::String("http://p:8080"), "p", 8080},
        {RegValue::String("http=http://p:8080/"), "p", 8080},
        {RegValue::String("http=p"), "p", 3128},
        {RegValue::String("p:abc"), "p", 3128},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(r.host, IEProxyHostFrom(r.server)) << r.server.text;
        EXPECT_EQ(r.port, IEProxyPortFrom(r.server)) << r.server.text;
        EXPECT_EQ(r.used, IEProxyUsedFrom(RegValue::Dword(1), r.server)) << r.server.text;
        EXPECT_FALSE(IEProxyUsedFrom(RegValue::Dword(0), r.server)) << r.server.text;
    }
}

TEST(SettingsTest, StrToInt) {
    struct Row {
        const char* text;
        bool ok;
        int32_t value;
    } rows[] = {{"3128", true, 3128},
                {"-5", true, -5},
                {"+7", true, 7},
                {"  42", true, 42},
                {"70000", true, 70000},
                {"2147483647", true, 2147483647},
                {"-2147483648", true, INT32_MIN},
                {"2147483648", false, 0},
                {"31a8", false, 0},
                {"", false, 0},
                {"-", false, 0},
                {"12 ", false, 0},
                {"99999999999999999999", false, 0}};
    for (const Row& r : rows) {
        if (r.ok) {
            EXPECT_EQ(r.value, StrToInt(r.text)) << r.text;
        } else {
            EXPECT_EQ(std::string("'") + r.text + "' is not a valid integer value",
                      ThrownText<EConvertError>([&] { StrToInt(r.text); }))
                << r.text;
        }
    }
}

}  // namespace
}  // namespace nelkar
