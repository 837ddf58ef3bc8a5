#include "crawlers/CrawlerFileStats.h"

#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"

namespace quill {
namespace {

constexpr int kFirstCountColumn = 2;

} // namespace

const std::array<StatisticsListColumn, kStatisticsListColumnCount>& statisticsListColumns()
{
    static const std::array<StatisticsListColumn, kStatisticsListColumnCount> columns = {{
        {gbk("日志文件名"), 80},
        {gbk("大小"), 70},
        {gbk("百度"), 50},
        {gbk("GOOGlE"), 60},
        {gbk("Soso"), 50},
        {gbk("有道"), 50},
        {gbk("雅虎"), 50},
        {gbk("Sogou"), 50},
        {gbk("MSN"), 50},
        {gbk("其它"), 50},
    }};
    return columns;
}

int statisticsCountIndex(int row)
{
    // The table names the column that counts each row; find it among the count columns by caption.
    static const std::array<int, kCrawlerRowCount> indexes = [] {
        std::array<int, kCrawlerRowCount> result{};
        const auto& columns = statisticsListColumns();
        for (int i = 0; i < kCrawlerRowCount; ++i) {
            result[i] = -1;
            const std::string& caption = crawlerTable()[i].statisticsColumn;
            for (int c = 0; c < kStatisticsCountColumns && !caption.empty(); ++c)
                if (columns[kFirstCountColumn + c].caption == caption)
                    result[i] = c;
        }
        return result;
    }();
    return row < 1 || row > kCrawlerRowCount ? -1 : indexes[row - 1];
}

std::string statisticsSizeText(std::uint64_t bytes)
{
    // Tenths of a KiB in integers, so halves are exact: (r * 10 + 512) / 1024 rounds them up.
    const std::uint64_t tenths = bytes / 1024 * 10 + (bytes % 1024 * 10 + 512) / 1024;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "K";
}

std::array<std::string, kStatisticsListColumnCount> statisticsRowTexts(const CrawlerFileStats& stats)
{
    std::array<std::string, kStatisticsListColumnCount> texts;
    texts[0] = stats.fileName;
    texts[1] = stats.sizeText;
    if (stats.counts)
        for (int c = 0; c < kStatisticsCountColumns; ++c)
            texts[kFirstCountColumn + c] = std::to_string((*stats.counts)[c]);
    return texts;
}

} // namespace quill
