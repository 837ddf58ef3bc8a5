#include "crawlers/CrawlerFileStats.h"

#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(CrawlerFileStats, sizeTextRoundsTenthsOfAKibiHalfAwayFromZero)
{
    const struct {
        std::uint64_t bytes;
        const char* text;
    } cases[] = {
        {0, "0.0K"},
        {51, "0.0K"},  // 0.0498
        {52, "0.1K"},  // 0.0508
        {1023, "1.0K"},
        {1024, "1.0K"},
        {1536, "1.5K"},
        // exact halves of a tenth
        {256, "0.3K"},
        {768, "0.8K"},
        {1280, "1.3K"},
        {1792, "1.8K"},
        // no thousands separator, no overflow at the top
        {314572800, "307200.0K"},
        {UINT64_MAX, "18014398509481984.0K"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(statisticsSizeText(c.bytes), c.text) << c.bytes;
}

TEST(CrawlerFileStats, rowTextsLeaveCountsOfAnUnreadFileEmpty)
{
    CrawlerFileStats counted{"ex090101.log", "1.5K", StatisticsCounts{1, 2, 3, 4, 5, 6, 2147483648}, {}};
    EXPECT_EQ(statisticsRowTexts(counted),
              (std::array<std::string, 10>{"ex090101.log", "1.5K", "1", "2", "3", "4", "5", "6", "2147483648", ""}));

    CrawlerFileStats unread{"locked.log", "0.0K", std::nullopt, Status::failure("File access denied")};
    EXPECT_EQ(statisticsRowTexts(unread),
              (std::array<std::string, 10>{"locked.log", "0.0K", "", "", "", "", "", "", "", ""}));
}

TEST(CrawlerFileStats, eachCountColumnCountsTheTableRowNamingIt)
{
    const auto& columns = statisticsListColumns();
    const char* captions[] = {"日志文件名", "大小", "百度", "GOOGlE", "Soso", "有道", "雅虎", "Sogou", "MSN", "其它"};
    const int widths[] = {80, 70, 50, 60, 50, 50, 50, 50, 50, 50};
    for (int i = 0; i < kStatisticsListColumnCount; ++i) {
        EXPECT_EQ(columns[i].caption, gbk(captions[i]));
        EXPECT_EQ(columns[i].width, widths[i]);
    }
    // Rows by token: Googlebot, Baiduspider, Yahoo, Sogou, Sosospider+, YoudaoBot, ..., msnbot.
    const int indexOfRow[kCrawlerRowCount] = {1, 0, 4, 5, 2, 3, -1, -1, -1, 6, -1, -1, -1};
    for (int row = 1; row <= kCrawlerRowCount; ++row)
        EXPECT_EQ(statisticsCountIndex(row), indexOfRow[row - 1]) << crawlerTable()[row - 1].token;
}
