#include "settings/SettingsFile.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::TempFolder;

TEST(ColumnWidthSettings, userWidthsRoundTripAndBadValuesFollowTheFont)
{
    TempFolder folder;
    SettingsFile file(folder.file("s.ini"));
    EXPECT_EQ(file.readColumnWidths("lv2", 4), (std::vector<int>{0, 0, 0, 0})); // nothing saved yet
    ASSERT_TRUE(file.writeColumnWidths("lv2", {0, 120, 0, 45}).ok());
    ASSERT_TRUE(file.writeColumnWidths("lv1", {300}).ok());
    EXPECT_EQ(SettingsFile(folder.file("s.ini")).readColumnWidths("lv2", 4), (std::vector<int>{0, 120, 0, 45}));
    EXPECT_EQ(SettingsFile(folder.file("s.ini")).readColumnWidths("lv1", 2), (std::vector<int>{300, 0}));

    const struct {
        const char* saved;
        std::vector<int> read;
    } cases[] = {
        {"10,x,-5,30", {10, 0, 0, 30}},   // not a width
        {"99999999,20", {0, 20, 0, 0}},   // beyond any screen
        {"1,2,3,4,5,6", {1, 2, 3, 4}},    // more columns than the list has
        {",,7", {0, 0, 7, 0}},
        {"", {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        TempFolder other;
        TempFolder::writeFile(other.file("s.ini"), "[" + gbk("列宽") + "]\r\nlv2=" + c.saved + "\r\n");
        EXPECT_EQ(SettingsFile(other.file("s.ini")).readColumnWidths("lv2", 4), c.read) << c.saved;
    }
}
