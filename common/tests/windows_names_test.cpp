// The name rule against the table of names, with and without a drive or root allowed.
#include <gtest/gtest.h>

#include "name_table.h"
#include "windows_names.h"

namespace winnames::testing {
namespace {

TEST(WindowsNames, VerdictsOfTheTable) {
    std::vector<NameRow> rows = ReadNameTable();
    ASSERT_GE(rows.size(), 40u);
    for (const NameRow& row : rows) {
        SCOPED_TRACE(row.written);
        EXPECT_EQ(IsSafeName(row.name, Prefix::kDriveOrRoot), row.verdict != NameRow::kUnsafe);
        EXPECT_EQ(IsSafeName(row.name, Prefix::kNone), row.verdict == NameRow::kFile);
    }
    // What no line of the table can hold.
    EXPECT_FALSE(IsSafeName("", Prefix::kNone));
    EXPECT_FALSE(IsSafeName("C:", Prefix::kDriveOrRoot));
}

}  // namespace
}  // namespace winnames::testing
