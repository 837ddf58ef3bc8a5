#pragma once
// Months of a site's daily IIS logs for the crawl ledger's benchmark: about ten crawlers and a
// site of many URL paths in a few levels of folders, each day one file.

#include <cstdint>
#include <string>

namespace quill::bench {

struct SiteOptions {
    int days = 90;
    std::uint64_t bytesPerDay = std::uint64_t(50) << 20;
    int paths = 50'000;
    std::string firstDay = "2026-09-03"; // 90 days end on 2026-12-01
    std::uint64_t seed = 7;
};

// Writes one log a day into `folder` ("ex260903.log", ...); false when a file cannot be written.
bool writeSiteLogs(const std::string& folder, const SiteOptions& options);

// A sitemap of the site's pages (a plain list of URLs, one a line): every path the generator
// uses, but every tenth left out and a few that no log holds added.
bool writeSiteSitemap(const std::string& path, const SiteOptions& options);

} // namespace quill::bench
