#pragma once
// One row of the crawler statistics list: a log file's name, its size text and its seven counts.

#include "platform/Status.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace quill {

inline constexpr int kStatisticsCountColumns = 7;
inline constexpr int kStatisticsListColumnCount = 10;

// Counts in list column order: Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN.
using StatisticsCounts = std::array<std::int64_t, kStatisticsCountColumns>;

struct CrawlerFileStats {
    std::string fileName; // without the folder
    std::string sizeText;
    std::optional<StatisticsCounts> counts; // none when the file could not be read: the cells stay empty
    Status read;                            // failed when the file could not be read: why there are no counts
};

struct StatisticsListColumn {
    std::string caption; // GBK
    int width;
};

// The ten columns of the statistics list in order: name, size, the seven counts, "其它".
const std::array<StatisticsListColumn, kStatisticsListColumnCount>& statisticsListColumns();

// Index into StatisticsCounts of the crawler table row `row` (1-13), or -1 for a row without a
// statistics column.
int statisticsCountIndex(int row);

// The size in KiB with one decimal, halves rounded away from zero, then "K": 1536 gives "1.5K".
std::string statisticsSizeText(std::uint64_t bytes);

// The ten cell texts of a row; the count cells are empty when the file had no counts, and the
// last cell ("其它") is always empty.
std::array<std::string, kStatisticsListColumnCount> statisticsRowTexts(const CrawlerFileStats& stats);

} // namespace quill
