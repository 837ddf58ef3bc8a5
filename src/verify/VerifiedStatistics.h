#pragma once
// The crawler statistics with the DNS check as the page lists them and as its export and the
// command line write them: per file the visits whose crawler was verified, those found fake, and
// those the check could not decide (未验证), so a file that was not checked never reads 0.

#include "crawlers/CrawlerFileStats.h"
#include "platform/CsvText.h"
#include "platform/Status.h"
#include "verify/LogVerification.h"

#include <optional>
#include <string>
#include <vector>

namespace quill {

struct VerifiedFileStats {
    std::string fileName; // without the folder
    std::string sizeText;
    std::optional<VerifiedCounts> counts; // none when the file could not be read
    Status read;                          // failed when the file could not be read: why there are no counts
};

enum class VerifiedGroup { Verified, Fake, Unchecked };
inline constexpr VerifiedGroup kVerifiedGroups[] = {VerifiedGroup::Verified, VerifiedGroup::Fake,
                                                    VerifiedGroup::Unchecked};

// "已验证", "伪装" or "未验证" (GBK).
const std::string& verifiedGroupWord(VerifiedGroup group);
const StatisticsCounts& groupCounts(const VerifiedCounts& counts, VerifiedGroup group);

// The list's columns: 日志文件名, 大小, 验证 (the group), the seven engines, 其它.
const std::vector<StatisticsListColumn>& verifiedListColumns();

// The list row of one group of a file: name, size, the group's word, its seven counts (empty
// cells when the file could not be read) and an empty 其它.
std::vector<std::string> verifiedListRowTexts(const VerifiedFileStats& stats, VerifiedGroup group);

// The one table of the page's export and `stats --verify`: name, size, then the seven counts of
// each group in turn, captioned "百度 已验证" ... "MSN 伪装" ... "MSN 未验证". GBK.
std::vector<std::string> verifiedStatisticsCaptions();
std::vector<std::string> verifiedStatisticsTexts(const VerifiedFileStats& stats);
// The table reads `rows` while it is written.
CsvTable verifiedStatisticsCsv(const std::vector<VerifiedFileStats>& rows, CsvCells cells = CsvCells::Neutralised);

// Where a verified count stands: file `file` of `files`, and the checks of that file answered.
struct VerifiedStatsProgress {
    size_t file = 0; // from 1
    size_t files = 0;
    size_t checked = 0;
    size_t toCheck = 0;
};
// "文件 2/5  验证 40%", or "文件 2/5" while nothing is to be checked yet (GBK).
std::string verifiedStatsProgressText(const VerifiedStatsProgress& progress);

} // namespace quill
