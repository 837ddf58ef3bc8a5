#include "logs/RowsCopy.h"

#include "logs/LogTestSupport.h"
#include "logs/RecordColumns.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string captionsLine()
{
    std::string line;
    for (const RecordColumn& column : recordColumns())
        line += std::string(line.empty() ? "" : "\t") + std::string(column.caption);
    return line;
}

// What the list shows in `row`, written out cell by cell as a user would copy it by hand.
std::string rowByHand(const LogAnalysis& analysis, std::uint32_t listRow, std::uint32_t storeRow)
{
    std::string line = std::to_string(listRow);
    for (int column = 1; column < kColumnCount; ++column)
        line += "\t" + gbkToUtf8(cellText(analysis.store(), storeRow, column));
    return line;
}

} // namespace

TEST(RowsCopy, rowsAreTabSeparatedWithCaptionsWhenSeveral)
{
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    const std::string log = kIis6Header + iis6Line("/a.htm") + iis6Line("/" + gbk("日志") + ".htm", "Baiduspider") +
                            iis6Line("/tab\there.htm", "x\ty", "9.9.9.9");
    ASSERT_TRUE(loadBytes(analysis, folder, log, filters).read());
    const RecordStore& store = analysis.store();
    const std::string row0 = rowByHand(analysis, 0, 0);
    const std::string row1 = "1\t/日志.htm\t-\t百度\t200\t0\t0\t1.2.3.4\t2026-12-01\t00:00:01\tGET\t10.0.0.1\t80\t1500\t300\t15\t-";
    const std::string row2 = "2\t/tab here.htm\t-\tx y\t200\t0\t0\t9.9.9.9\t2026-12-01\t00:00:01\tGET\t10.0.0.1\t80\t1500\t300\t15\t-";

    const struct {
        const char* what;
        std::vector<std::uint32_t> rows;
        std::string text;
    } cases[] = {
        {"one row: its cells alone", {1}, row1},
        {"a TAB in a cell becomes a blank", {2}, row2},
        {"several rows: captions first", {0, 2}, captionsLine() + "\n" + row0 + "\n" + row2},
        {"nothing selected", {}, ""},
        {"a row past the end copies nothing", {0, 3}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(copiedRowsText(store, c.rows), c.text) << c.what;

    // Columns alone: one cell per line, no caption.
    EXPECT_EQ(copiedColumnText(store, {0, 2}, kColClientIp), "1.2.3.4\n9.9.9.9");
    EXPECT_EQ(copiedColumnText(store, {1}, kColUserAgent), "百度");
    EXPECT_EQ(copiedColumnText(store, {1}, kColumnCount), "") << "no extra column shown";
    EXPECT_EQ(copiedColumnText(store, {1}, -1), "");
}

TEST(RowsCopy, aNarrowedListCopiesItsOwnRowNumbersAndTheVerdictColumn)
{
    TempFolder folder;
    LogAnalysis analysis;
    const std::string log = kIis6Header + iis6Line("/a.htm", "UA", "1.1.1.1") + iis6Line("/b.htm", "UA", "2.2.2.2") +
                            iis6Line("/c.htm", "UA", "3.3.3.3");
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    while (cellText(analysis.store(), 0, kColUriStem) != "/c.htm") // sorted descending: c, b, a
        analysis.clickColumn(kColUriStem);
    ShownList shown;
    shown.rows = std::vector<std::uint32_t>{0, 2}; // c and a
    shown.extraCaption = gbk("验证");
    const std::string fake = gbk("伪装");
    shown.extraTexts = {std::string_view(), std::string_view(), fake}; // record 2 is /c.htm

    EXPECT_EQ(copiedRowsText(analysis.store(), {0, 1}, shown),
              captionsLine() + "\t验证\n" + rowByHand(analysis, 0, 0) + "\t伪装\n" + rowByHand(analysis, 1, 2) + "\t");
    EXPECT_EQ(copiedColumnText(analysis.store(), {1, 0}, kColClientIp, shown), "1.1.1.1\n3.3.3.3");
    EXPECT_EQ(copiedColumnText(analysis.store(), {0}, kColumnCount, shown), "伪装");
    EXPECT_EQ(copiedRowsText(analysis.store(), {2}, shown), "") << "the narrowed list has two rows";
}

TEST(RowsCopy, manyRowsJoinAcrossChunksInListOrder)
{
    TempFolder folder;
    LogAnalysis analysis;
    std::string log = kIis6Header;
    for (int i = 0; i < 20000; ++i)
        log += iis6Line("/p" + std::to_string(i) + ".htm", i % 7 == 0 ? gbk("蜘蛛") : "UA");
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    analysis.clickColumn(kColUriStem);
    std::vector<std::uint32_t> rows;
    std::string expected = captionsLine();
    for (std::uint32_t row = 3; row < 20000; row += 2) {
        rows.push_back(row);
        expected += "\n" + rowByHand(analysis, row, row);
    }
    EXPECT_EQ(copiedRowsText(analysis.store(), rows), expected);
}
