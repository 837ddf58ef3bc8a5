#pragma once
// The figures of a crawl report over a range of days, gathered from the ledger's views: what the
// HTML page and the JSON document show alike. Texts are GBK.

#include "ledger/LedgerViews.h"
#include "platform/Status.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct ReportCrawler {
    std::string name;
    std::string group;
    std::int64_t hits = 0;
    std::array<std::int64_t, kStatusClasses> classHits{};
    std::int64_t status200 = 0;
    std::int64_t urls = 0; // distinct paths it fetched
};

struct ReportUrl {
    std::string path; // as people read it
    std::int64_t hits = 0;
    int lastDay = 0;
    int daysSince = 0; // from the last crawl to the range's end
};

struct ReportDirectory {
    std::string path;
    std::int64_t hits = 0;
    std::array<std::int64_t, kStatusClasses> classHits{};
};

struct ReportFake {
    std::string address;
    std::string claimed; // the crawler it claimed to be
    std::int64_t hits = 0;
    int firstDay = 0;
    int lastDay = 0;
    std::string topPath; // its most hit path, as people read it
};

struct CrawlReport {
    DateRange range;              // the days reported; 0 and 0 while the ledger holds none
    std::int64_t requests = 0;    // every request of those days
    std::int64_t crawlerHits = 0; // of crawlers that passed or were not checked
    std::int64_t urlsCrawled = 0;
    std::int64_t not200 = 0;      // crawler hits not answered 200
    std::int64_t fakeHits = 0;
    std::int64_t fakeAddresses = 0;
    DaysView days;
    std::vector<ReportCrawler> crawlers;       // most hits first
    std::vector<ReportUrl> topUrls;            // most crawled first
    std::vector<ReportUrl> staleUrls;          // longest uncrawled first
    std::vector<ReportDirectory> directories;  // most crawled first
    std::array<std::int64_t, 24> hours{};      // crawler hits per hour of day
    std::vector<ReportFake> fakes;             // most hits first
};

// The longest lists a report shows.
inline constexpr size_t kReportListRows = 20;

// The report of `range` (an open end: the ledger's first or last day).
Result<CrawlReport> buildCrawlReport(LedgerViews& views, DateRange range);

// True for the crawler groups of AI companies ("AI 训练", "AI 搜索", ...).
bool isAiGroup(std::string_view gbkGroup);

// Writes `text` to `path` whole or not at all.
Status saveReport(const std::string& path, std::string_view text);

} // namespace quill
