// Installation record rules: value typing, edition and level tests, run texts.
#include <gtest/gtest.h>

#include "record.h"

namespace tessarin {
namespace {

TEST(Edition, OnlyGermanInAnyAsciiCase) {
    struct {
        const char* language;
        bool passes;
    } cases[] = {{"german", true},   {"German", true},   {"GERMAN", true},    {"gErMaN", true},
                 {"Deutsch", false}, {"german ", false}, {" german", false},  {"", false},
                 {"germa", false},   {"germann", false}, {"G\xC9RMAN", false}};
    for (const auto& c : cases) EXPECT_EQ(IsGermanEdition(c.language), c.passes) << c.language;
}

TEST(Level, ByteWiseOrderBeforeUpdate) {
    struct {
        const char* version;
        bool before;
    } cases[] = {{"", true},     {"1.29", true},  {"2.10", true}, {"10", true}, {"2.", true},   {"2", true},
                 {"2.2", false}, {"2.2a", false}, {"2.3", false}, {"3", false}, {"\xE9", false}};
    for (const auto& c : cases) EXPECT_EQ(OrdersBeforeUpdate(c.version), c.before) << c.version;
}

TEST(RegistryValue, TextTypesAndErrors) {
    auto data = [](const std::string& s) { return std::vector<char>(s.begin(), s.end()); };
    EXPECT_EQ(RegistryText("Version", kRegText, data(std::string("2.2\0", 4))), "2.2");
    EXPECT_EQ(RegistryText("Version", kRegText, data(std::string("2.2\0\0\0", 6))), "2.2");
    EXPECT_EQ(RegistryText("Language", kRegExpandText, data(std::string("%German%\0", 9))), "%German%");
    EXPECT_EQ(RegistryText("Version", kRegText, data("2.2")), "2.2");  // no terminator stored
    EXPECT_EQ(RegistryText("Version", kRegNumber, {}), "");            // no data: empty
    for (uint32_t type : {kRegNumber, kRegBinary, kRegTextList}) {
        try {
            RegistryText("Language", type, data("abcd"));
            ADD_FAILURE() << type;
        } catch (const ERegistryError& e) {
            EXPECT_STREQ(e.what(), "Invalid data type for 'Language'");
        }
    }
    EXPECT_EQ(RegistryTextData("2.2"), (std::vector<char>{'2', '.', '2', '\0'}));
    EXPECT_EQ(SetDataFailedText("Version"), "Failed to set data for 'Version'");
}

TEST(Texts, EditionMessageAndApplicationError) {
    EXPECT_EQ(WrongEditionText("Deutsch"),
              "You have Deutsch version installed!\r\nThis update is for German version only!");
    EXPECT_EQ(WrongEditionText(""),
              "You have  version installed!\r\nThis update is for German version only!");
    EXPECT_EQ(
        ApplicationErrorText("EFCreateError", "Tessarin.exe", "0040A1B2",
                             "Cannot create file C:\\T\\update.zip"),
        "Exception EFCreateError in module Tessarin.exe at 0040A1B2.\nCannot create file C:\\T\\update.zip.");
    EXPECT_EQ(ApplicationErrorText("EUnZipError", "Tessarin.exe", "00401000", "Done."),
              "Exception EUnZipError in module Tessarin.exe at 00401000.\nDone.");
}

}  // namespace
}  // namespace tessarin
