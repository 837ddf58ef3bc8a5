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
    const std::string log = kIis6Header + iisLine({.stem = "/a.htm"}) +
                            iisLine({.stem = "/" + gbk("日志") + ".htm", .agent = "Baiduspider"}) +
                            iisLine({.stem = "/tab\there.htm", .client = "9.9.9.9", .agent = "x\ty"});
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
        EXPECT_EQ(copiedRowsText(store, c.rows).joined(), c.text) << c.what;

    // Columns alone: one cell per line, no caption.
    EXPECT_EQ(copiedColumnText(store, {0, 2}, kColClientIp).joined(), "1.2.3.4\n9.9.9.9");
    EXPECT_EQ(copiedColumnText(store, {1}, kColUserAgent).joined(), "百度");
    EXPECT_EQ(copiedColumnText(store, {1}, kColumnCount).joined(), "") << "no extra column shown";
    EXPECT_EQ(copiedColumnText(store, {1}, -1).joined(), "");
}

TEST(RowsCopy, aNarrowedListCopiesItsOwnRowNumbersAndTheVerdictColumn)
{
    TempFolder folder;
    LogAnalysis analysis;
    const std::string log = kIis6Header + iisLine({.stem = "/a.htm", .client = "1.1.1.1", .agent = "UA"}) +
                            iisLine({.stem = "/b.htm", .client = "2.2.2.2", .agent = "UA"}) +
                            iisLine({.stem = "/c.htm", .client = "3.3.3.3", .agent = "UA"});
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    while (cellText(analysis.store(), 0, kColUriStem) != "/c.htm") // sorted descending: c, b, a
        ASSERT_TRUE(analysis.clickColumn(kColUriStem).ok());
    ShownList shown;
    shown.rows = std::vector<std::uint32_t>{0, 2}; // c and a
    shown.extraCaption = gbk("验证");
    const std::string fake = gbk("伪装");
    shown.extraTexts = {std::string_view(), std::string_view(), fake}; // record 2 is /c.htm

    EXPECT_EQ(copiedRowsText(analysis.store(), {0, 1}, shown).joined(),
              captionsLine() + "\t验证\n" + rowByHand(analysis, 0, 0) + "\t伪装\n" + rowByHand(analysis, 1, 2) + "\t");
    EXPECT_EQ(copiedColumnText(analysis.store(), {1, 0}, kColClientIp, shown).joined(), "1.1.1.1\n3.3.3.3");
    EXPECT_EQ(copiedColumnText(analysis.store(), {0}, kColumnCount, shown).joined(), "伪装");
    EXPECT_EQ(copiedRowsText(analysis.store(), {2}, shown).joined(), "") << "the narrowed list has two rows";
}

TEST(RowsCopy, manyRowsJoinAcrossChunksInListOrder)
{
    TempFolder folder;
    LogAnalysis analysis;
    std::string log = kIis6Header;
    for (int i = 0; i < 20000; ++i)
        log += iisLine({.stem = "/p" + std::to_string(i) + ".htm", .agent = i % 7 == 0 ? gbk("蜘蛛") : "UA"});
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    ASSERT_TRUE(analysis.clickColumn(kColUriStem).ok());
    std::vector<std::uint32_t> rows;
    std::string expected = captionsLine();
    for (std::uint32_t row = 3; row < 20000; row += 2) {
        rows.push_back(row);
        expected += "\n" + rowByHand(analysis, row, row);
    }
    EXPECT_EQ(copiedRowsText(analysis.store(), rows).joined(), expected);
}
