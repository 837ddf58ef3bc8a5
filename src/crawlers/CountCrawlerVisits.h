#pragma once
// Counts one log file for the crawler statistics.

#include "crawlers/CrawlerFileStats.h"

#include <atomic>
#include <optional>
#include <string>

namespace quill {

// The statistics row of the log file at `path`: every line, "#" lines included, counted by the
// first statistics row whose token it contains. The file is read in blocks of whole lines, and
// `abandon` is read between blocks: once it is set the count stops and gives nothing. A file that
// cannot be opened or read, or is not a regular file, gives a row without counts. An archive
// ("*.gz", "*.zip") is counted as the log inside it, and its size text is that log's size.
std::optional<CrawlerFileStats> countCrawlerVisits(const std::string& path, const std::atomic<bool>& abandon);

} // namespace quill
