// Installation record rules and run texts (portable part).
#include "record.h"

namespace tessarin {

std::string InvalidTypeText(const std::string& n) { return "Invalid data type for '" + n + "'"; }
std::string GetDataFailedText(const std::string& n) { return "Failed to get data for '" + n + "'"; }
std::string SetDataFailedText(const std::string& n) { return "Failed to set data for '" + n + "'"; }

std::string RegistryText(const std::string& valueName, uint32_t type, const std::vector<char>& data) {
    if (data.empty()) return std::string();
    if (type != kRegText && type != kRegExpandText) throw ERegistryError(InvalidTypeText(valueName));
    std::string text(data.begin(), data.end());
    size_t nul = text.find('\0');
    if (nul != std::string::npos) text.resize(nul);
    return text;
}

std::vector<char> RegistryTextData(const std::string& text) {
    std::vector<char> data(text.begin(), text.end());
    data.push_back('\0');
    return data;
}

bool IsGermanEdition(const std::string& language) {
    std::string lower = language;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return lower == "german";
}

bool OrdersBeforeUpdate(const std::string& version) {
    const std::string update = kUpdateVersion;
    size_t n = version.size() < update.size() ? version.size() : update.size();
    for (size_t i = 0; i < n; ++i) {
        auto a = static_cast<unsigned char>(version[i]);
        auto b = static_cast<unsigned char>(update[i]);
        if (a != b) return a < b;
    }
    return version.size() < update.size();
}

std::string WrongEditionText(const std::string& language) {
    return "You have " + language + " version installed!\r\nThis update is for German version only!";
}

std::string ApplicationErrorText(const std::string& className, const std::string& module,
                                 const std::string& address, const std::string& message) {
    std::string text = "Exception " + className + " in module " + module + " at " + address + ".\n" + message;
    if (message.empty() || message.back() != '.') text += '.';
    return text;
}

}  // namespace tessarin
