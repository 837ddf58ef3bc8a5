#pragma once
// What the ledger shows, over a range of days: plain structs that the page, the command line and
// reports share. Fakes never count for the crawler they claimed; they have a view of their own.

#include "ledger/LedgerSchema.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

// Days yyyymmdd, both ends included; 0 leaves an end open.
struct DateRange {
    int from = 0;
    int to = 0;
};

struct ViewFilter {
    DateRange range;
    std::optional<std::int64_t> crawler; // a crawler id: only its visits
};

struct CrawlerColumn {
    std::int64_t id = 0;
    std::string name;  // GBK
    std::string group; // GBK
};

// Status classes 2xx, 3xx, 4xx, 5xx.
inline constexpr int kStatusClasses = 4;

struct DayRow {
    int day = 0;
    std::int64_t requests = 0;        // every request of the day
    std::int64_t crawlerRequests = 0; // of the crawlers shown
    std::int64_t fakeRequests = 0;
    std::vector<std::int64_t> hits;   // per crawler column
};

struct DaysView {
    std::vector<CrawlerColumn> crawlers;
    std::vector<DayRow> rows; // ascending, days without requests left out
};

struct HoursView {
    std::vector<CrawlerColumn> crawlers;
    std::array<std::vector<std::int64_t>, 24> hits; // [hour][crawler column]
};

struct StatusRow {
    int day = 0;         // 0: the whole range
    size_t crawler = 0;  // crawler column
    std::int64_t hits = 0;
    std::array<std::int64_t, kStatusClasses> classHits{};
    std::int64_t status200 = 0;
};

struct StatusView {
    std::vector<CrawlerColumn> crawlers;
    std::vector<StatusRow> rows; // per crawler the whole range first, then its days
};

struct UrlRow {
    std::int64_t pathId = 0;
    std::string path; // as logged
    std::int64_t hits = 0;
    int firstDay = 0;
    int lastDay = 0;
    std::array<std::int64_t, kStatusClasses> classHits{};
    std::int64_t bytes = 0;
    std::int64_t timeTaken = 0;
};

struct UrlView {
    std::vector<CrawlerColumn> crawlers;
    std::vector<UrlRow> rows;              // in the order of their paths as shown (displayPath)
    std::vector<std::int64_t> crawlerHits; // rows x crawlers, row by row
    int rangeEnd = 0;                      // the day "days since the last crawl" counts to
};

struct FakeRow {
    std::string address;
    size_t crawler = 0; // crawler column
    std::int64_t hits = 0;
    int firstDay = 0;
    int lastDay = 0;
    std::vector<std::pair<std::string, std::int64_t>> topPaths; // most hit first, at most three
};

struct FakesView {
    std::vector<CrawlerColumn> crawlers;
    std::vector<FakeRow> rows; // most hits first
};

// The ledger open for reading. Each view reads one consistent state of the file.
class LedgerViews {
public:
    static Result<std::unique_ptr<LedgerViews>> open(const std::string& path, int busyTimeoutMs = 30000);
    ~LedgerViews();

    SqliteDatabase& database() { return *m_db; }

    // The first and last day with requests; nothing while the ledger holds none.
    Result<std::optional<DateRange>> span();
    Result<std::vector<CrawlerColumn>> crawlers();
    // The crawler a user names: its name in the ledger (ASCII case ignored), or a user agent or
    // crawler token that names it.
    Result<std::optional<std::int64_t>> findCrawler(std::string_view gbkName);

    Result<DaysView> days(const ViewFilter& filter);
    Result<HoursView> hours(const ViewFilter& filter);
    Result<StatusView> statuses(const ViewFilter& filter);
    Result<UrlView> urls(const ViewFilter& filter);
    // What directoriesOf(urls(filter)) gives, without the list of URLs on the way.
    Result<UrlView> directories(const ViewFilter& filter);
    Result<FakesView> fakes(const ViewFilter& filter);

private:
    struct Pack {
        bool span; // url_span_pack, else url_day_pack
        int key;   // its span code or day
    };

    explicit LedgerViews(std::unique_ptr<SqliteDatabase> db) : m_db(std::move(db)) {}
    // The range's sums per path (m_sums, m_crawlerSums), and what they need to be read.
    struct RangeSums {
        std::vector<CrawlerColumn> crawlers; // with hits in the range, most first
        std::vector<const std::vector<std::int64_t>*> columns; // their hits per path id
        int lastDay = 0;                     // the range's last day with crawls
    };

    Status loadPaths();
    // m_shownOrder for the paths as loaded.
    void orderPathsAsShown();
    std::string_view pathText(size_t id) const;
    // Call inside a snapshot; loads the paths first.
    Result<RangeSums> sumRange(const ViewFilter& filter);
    // The URL packs that sum the filter's range: for all crawlers the widest spans whose days with
    // crawls all lie in it, and the other days one by one; `lastDay` is set to the range's last
    // day with crawls.
    Result<std::vector<Pack>> packsOf(const ViewFilter& filter, int& lastDay);

    // One path's sums over the packs of a range.
    struct PathSums {
        std::int64_t hits = 0;
        std::array<std::int64_t, kStatusClasses> classHits{};
        std::int64_t bytes = 0;
        std::int64_t timeTaken = 0;
        int firstDay = 0;
        int lastDay = 0;
    };

    std::unique_ptr<SqliteDatabase> m_db;
    std::string m_pathText;            // the paths of url_path, one after another
    std::vector<size_t> m_pathStarts;  // by path id: where its text starts, then the end of the last
    std::vector<std::uint32_t> m_shownOrder; // path ids in the order of their paths as shown
    std::optional<std::int64_t> m_pathsVersion;
    // Kept from one URL view to the next: a change of range then touches no new memory.
    std::vector<PathSums> m_sums;             // by path id
    std::vector<std::vector<std::int64_t>> m_crawlerSums; // per crawler met: hits by path id
    std::string m_packBytes;                  // the pack being read
};

// URL rows rolled up by their first one and first two path segments: "/news/" and
// "/news/2026/" (a path directly under the root rolls up to "/").
UrlView directoriesOf(const UrlView& urls);

} // namespace quill
