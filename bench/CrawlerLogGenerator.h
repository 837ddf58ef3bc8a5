#pragma once
// Writes folders of IIS-style daily logs for the statistics benchmark: W3C lines whose user agents
// and referrers carry crawler tokens at about the rate of a small Chinese site, some GBK text.

#include <cstdint>
#include <string>

namespace quill::bench {

// Writes `files` logs of about `bytesPerFile` each into `folder`, deterministic for a `seed`.
void writeCrawlerLogs(const std::string& folder, int files, std::uint64_t bytesPerFile, unsigned seed);

} // namespace quill::bench
