#pragma once
// The ordered table of search-engine crawler tokens and the first-match lookup over a log line.

#include <array>
#include <string>
#include <string_view>

namespace quill {

struct CrawlerRow {
    std::string_view token;       // ASCII, searched ignoring case
    std::string displayName;      // GBK
    std::string statisticsColumn; // GBK caption of the statistics column; empty for none
};

inline constexpr int kCrawlerRowCount = 13;

// The thirteen rows in table order (row number = index + 1).
const std::array<CrawlerRow, kCrawlerRowCount>& crawlerTable();

// Row number (1-13) of the first row whose token occurs in `line`, or 0 when none does.
int crawlerRowOf(std::string_view line);

// Display name of the first row whose token occurs anywhere in `line`, or the empty text.
const std::string& crawlerNameOf(std::string_view line);

// Row number of the first row that has a statistics column and whose token occurs in `line`, or 0.
// Rows without a statistics column are skipped, not a stop: "qihoobot msnbot" gives the msnbot row.
int statisticsRowOf(std::string_view line);

// Display name of a row number from identifyCrawlerRow (empty text for 0).
const std::string& crawlerDisplayName(int row);

// The display names the engine filters compare with.
struct EngineNames {
    std::string baidu, google, soso, yahoo, sogou, msn, youdao;
};
const EngineNames& engineNames();

} // namespace quill
