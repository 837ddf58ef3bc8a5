#pragma once
// Counts one log file for the crawler statistics.

#include "crawlers/CrawlerFileStats.h"
#include "logsource/ReadLimits.h"

#include <atomic>
#include <optional>
#include <string>

namespace quill {

// The statistics row of the log file at `path`: every line, "#" lines included, counted by the
// first statistics row whose token it contains. The log is read in blocks of whole lines, and
// `abandon` is heard between them and while a pipe is waited for: once it is set the count stops
// and gives nothing. A log that cannot be opened or read, or that holds a line longer than
// `lineBytes`, gives a row without counts. An archive ("*.gz", "*.zip") is counted as the log
// inside it, and its size text is that log's size.
std::optional<CrawlerFileStats> countCrawlerVisits(const std::string& path, const std::atomic<bool>& abandon,
                                                   size_t lineBytes = kMaxLineBytes);

} // namespace quill
