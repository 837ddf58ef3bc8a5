#pragma once
// The statistics page's "全部蜘蛛" view: per log file, the visits of every crawler of the registry,
// shown as one column per group or one per crawler for the busiest ones.

#include "crawlers/CrawlerRegistry.h"
#include "platform/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quill {

struct RegistryFileStats {
    std::string fileName; // without the folder
    std::string sizeText;
    std::optional<std::vector<std::int64_t>> counts; // indexed by CrawlerId; none when the file could not be read
    Status read;                                     // failed when the file could not be read: why there are no counts
};

enum class RegistryView {
    Groups,   // one column per group
    Crawlers, // one column per crawler of the top N, then one for the rest
};

struct RegistryColumn {
    std::string caption; // GBK
    CrawlerSet members;
};

// The count columns of `view` over `rows`, keeping only crawlers of `only`: every group with a
// member in `only` in group order; or the `topCount` crawlers of `only` with the most visits over
// all rows (ties in registry order, none without a visit), then "其余" for the others of `only`.
std::vector<RegistryColumn> registryColumns(RegistryView view, const std::vector<RegistryFileStats>& rows,
                                            size_t topCount, const CrawlerSet& only);

// A row's count per column; empty when the file had no counts.
std::vector<std::int64_t> registryRowCounts(const RegistryFileStats& row, const std::vector<RegistryColumn>& columns);

// The row's cell texts: name, size, then one count per column (empty cells without counts).
std::vector<std::string> registryRowTexts(const RegistryFileStats& row, const std::vector<RegistryColumn>& columns);

// The captions of the table: "日志文件名", "大小", then the columns'.
std::vector<std::string> registryCaptions(const std::vector<RegistryColumn>& columns);

// Every crawler of the registry.
CrawlerSet allCrawlers();

} // namespace quill
