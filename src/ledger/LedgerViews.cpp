#include "ledger/LedgerViews.h"

#include "ledger/LedgerCrawlers.h"
#include "ledger/LedgerSnapshot.h"
#include "platform/CodePage.h"
#include "platform/GbkText.h"
#include "verify/Verdict.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace quill {
namespace {

constexpr int kFake = static_cast<int>(Verdict::Fake);
constexpr size_t kTopPaths = 3;

// Prepares `sql` whose first two parameters are the range, and whose third (when it has one) is
// the crawler id or -1 for all crawlers.
Result<SqliteStatement> rangeQuery(SqliteDatabase& db, std::string_view sql, const ViewFilter& filter)
{
    Result<SqliteStatement> query = db.prepare(sql);
    if (!query.ok())
        return query;
    query.value().bind(1, rangeFrom(filter.range)).bind(2, rangeTo(filter.range));
    query.value().bind(3, filter.crawler.value_or(-1));
    return query;
}

constexpr const char* kCrawlerMatch = "(?3 < 0 OR crawler_id = ?3)";

// The crawlers of `totals` (id -> hits), most hits first.
Result<std::vector<CrawlerColumn>> columnsOf(LedgerViews& views, const std::map<std::int64_t, std::int64_t>& totals)
{
    Result<std::vector<CrawlerColumn>> all = views.crawlers();
    if (!all.ok())
        return all;
    std::vector<CrawlerColumn> columns;
    for (const CrawlerColumn& crawler : all.value())
        if (auto total = totals.find(crawler.id); total != totals.end() && total->second > 0)
            columns.push_back(crawler);
    std::stable_sort(columns.begin(), columns.end(), [&](const CrawlerColumn& a, const CrawlerColumn& b) {
        return totals.at(a.id) > totals.at(b.id);
    });
    return columns;
}

std::unordered_map<std::int64_t, size_t> columnIndex(const std::vector<CrawlerColumn>& columns)
{
    std::unordered_map<std::int64_t, size_t> index;
    for (size_t i = 0; i < columns.size(); ++i)
        index[columns[i].id] = i;
    return index;
}

int classOf(std::int64_t status) { return status >= 200 && status < 600 ? static_cast<int>(status / 100) - 2 : -1; }

} // namespace

Result<std::unique_ptr<LedgerViews>> LedgerViews::open(const std::string& path, int busyTimeoutMs)
{
    Result<std::unique_ptr<SqliteDatabase>> db =
        openLedgerDatabase(path, LedgerOpenOptions{LedgerAccess::Read, busyTimeoutMs});
    if (!db.ok())
        return db.status();
    return std::unique_ptr<LedgerViews>(new LedgerViews(std::move(db.value())));
}

LedgerViews::~LedgerViews() = default;

Result<std::optional<DateRange>> LedgerViews::span()
{
    Result<SqliteStatement> query = m_db->prepare("SELECT min(day), max(day) FROM day_total");
    if (!query.ok())
        return query.status();
    if (!query.value().step())
        return query.value().status();
    if (query.value().isNull(0))
        return std::optional<DateRange>();
    return std::optional<DateRange>(DateRange{static_cast<int>(query.value().integer(0)),
                                              static_cast<int>(query.value().integer(1))});
}

Result<std::vector<CrawlerColumn>> LedgerViews::crawlers()
{
    Result<SqliteStatement> query = m_db->prepare("SELECT id, name, crawler_group FROM crawler ORDER BY id");
    if (!query.ok())
        return query.status();
    std::vector<CrawlerColumn> columns;
    while (query.value().step())
        columns.push_back({query.value().integer(0), utf8ToGbk(query.value().text(1)), utf8ToGbk(query.value().text(2))});
    if (!query.value().status().ok())
        return query.value().status();
    return columns;
}

Result<std::optional<std::int64_t>> LedgerViews::findCrawler(std::string_view gbkName)
{
    Result<std::vector<CrawlerColumn>> all = crawlers();
    if (!all.ok())
        return all.status();
    // The names it may stand for: as the ledger shows it, the crawler its user agent or token
    // names, and the registry's crawler of that key or token.
    std::vector<std::string> names = {upperAscii(gbkName)};
    if (const int named = crawlerOfAgent(gbkName); named != 0)
        names.push_back(upperAscii(ledgerCrawlers()[static_cast<size_t>(named - 1)].name));
    if (const CrawlerId id = crawlerByName(gbkName); id != kNoCrawler)
        names.push_back(upperAscii(crawlerEntry(id).name));
    for (const std::string& name : names)
        for (const CrawlerColumn& crawler : all.value())
            if (upperAscii(crawler.name) == name)
                return std::optional<std::int64_t>(crawler.id);
    return std::optional<std::int64_t>();
}

Result<DaysView> LedgerViews::days(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    std::map<int, DayRow> rows;
    Result<SqliteStatement> totals = rangeQuery(
        *m_db, "SELECT day, requests, crawler_requests, fake_requests FROM day_total WHERE day BETWEEN ?1 AND ?2",
        filter);
    if (!totals.ok())
        return totals.status();
    while (totals.value().step()) {
        const SqliteStatement& r = totals.value();
        DayRow& row = rows[static_cast<int>(r.integer(0))];
        row.day = static_cast<int>(r.integer(0));
        row.requests = r.integer(1);
        if (!filter.crawler) {
            row.crawlerRequests = r.integer(2);
            row.fakeRequests = r.integer(3);
        }
    }
    if (!totals.value().status().ok())
        return totals.value().status();

    Result<SqliteStatement> byCrawler = rangeQuery(
        *m_db,
        std::string("SELECT day, crawler_id, verdict = ") + std::to_string(kFake) +
            ", sum(hits) FROM crawl_status WHERE day BETWEEN ?1 AND ?2 AND " + kCrawlerMatch +
            " GROUP BY day, crawler_id, verdict = " + std::to_string(kFake),
        filter);
    if (!byCrawler.ok())
        return byCrawler.status();
    std::map<std::int64_t, std::int64_t> crawlerTotals;
    std::vector<std::tuple<int, std::int64_t, std::int64_t>> hits;
    while (byCrawler.value().step()) {
        const SqliteStatement& r = byCrawler.value();
        const int day = static_cast<int>(r.integer(0));
        if (r.integer(2) != 0) {
            if (filter.crawler)
                rows[day].fakeRequests += r.integer(3);
            continue;
        }
        crawlerTotals[r.integer(1)] += r.integer(3);
        hits.emplace_back(day, r.integer(1), r.integer(3));
        if (filter.crawler)
            rows[day].crawlerRequests += r.integer(3);
    }
    if (!byCrawler.value().status().ok())
        return byCrawler.value().status();

    DaysView view;
    Result<std::vector<CrawlerColumn>> columns = columnsOf(*this, crawlerTotals);
    if (!columns.ok())
        return columns.status();
    view.crawlers = std::move(columns.value());
    const auto index = columnIndex(view.crawlers);
    for (auto& [day, row] : rows) {
        row.day = day;
        row.hits.assign(view.crawlers.size(), 0);
    }
    for (const auto& [day, crawler, count] : hits)
        if (auto column = index.find(crawler); column != index.end())
            rows[day].hits[column->second] += count;
    for (auto& [day, row] : rows)
        view.rows.push_back(std::move(row));
    return view;
}

Result<HoursView> LedgerViews::hours(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    Result<SqliteStatement> query = rangeQuery(
        *m_db,
        std::string("SELECT hour, crawler_id, sum(hits) FROM crawl_hour WHERE day BETWEEN ?1 AND ?2 AND verdict <> ") +
            std::to_string(kFake) + " AND " + kCrawlerMatch + " GROUP BY hour, crawler_id",
        filter);
    if (!query.ok())
        return query.status();
    std::map<std::int64_t, std::int64_t> totals;
    std::vector<std::tuple<int, std::int64_t, std::int64_t>> hits;
    while (query.value().step()) {
        const SqliteStatement& r = query.value();
        const auto hour = static_cast<int>(r.integer(0));
        if (hour < 0 || hour > 23)
            continue;
        totals[r.integer(1)] += r.integer(2);
        hits.emplace_back(hour, r.integer(1), r.integer(2));
    }
    if (!query.value().status().ok())
        return query.value().status();
    HoursView view;
    Result<std::vector<CrawlerColumn>> columns = columnsOf(*this, totals);
    if (!columns.ok())
        return columns.status();
    view.crawlers = std::move(columns.value());
    for (auto& hour : view.hits)
        hour.assign(view.crawlers.size(), 0);
    const auto index = columnIndex(view.crawlers);
    for (const auto& [hour, crawler, count] : hits)
        if (auto column = index.find(crawler); column != index.end())
            view.hits[static_cast<size_t>(hour)][column->second] += count;
    return view;
}

Result<StatusView> LedgerViews::statuses(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    Result<SqliteStatement> query = rangeQuery(
        *m_db,
        std::string("SELECT day, crawler_id, status, sum(hits) FROM crawl_status WHERE day BETWEEN ?1 AND ?2 AND "
                    "verdict <> ") +
            std::to_string(kFake) + " AND " + kCrawlerMatch + " GROUP BY day, crawler_id, status",
        filter);
    if (!query.ok())
        return query.status();
    std::map<std::pair<std::int64_t, int>, StatusRow> byCrawlerDay; // (crawler id, day); day 0: the range
    std::map<std::int64_t, std::int64_t> totals;
    while (query.value().step()) {
        const SqliteStatement& r = query.value();
        const std::int64_t crawler = r.integer(1);
        const std::int64_t status = r.integer(2);
        const std::int64_t hits = r.integer(3);
        totals[crawler] += hits;
        for (int day : {0, static_cast<int>(r.integer(0))}) {
            StatusRow& row = byCrawlerDay[{crawler, day}];
            row.day = day;
            row.hits += hits;
            if (const int c = classOf(status); c >= 0)
                row.classHits[static_cast<size_t>(c)] += hits;
            if (status == 200)
                row.status200 += hits;
        }
    }
    if (!query.value().status().ok())
        return query.value().status();
    StatusView view;
    Result<std::vector<CrawlerColumn>> columns = columnsOf(*this, totals);
    if (!columns.ok())
        return columns.status();
    view.crawlers = std::move(columns.value());
    for (size_t column = 0; column < view.crawlers.size(); ++column) {
        for (auto it = byCrawlerDay.lower_bound({view.crawlers[column].id, 0});
             it != byCrawlerDay.end() && it->first.first == view.crawlers[column].id; ++it) {
            StatusRow row = it->second;
            row.crawler = column;
            view.rows.push_back(row);
        }
    }
    return view;
}

Result<FakesView> LedgerViews::fakes(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    // The few paths of fakes are read with them, not the whole list of paths.
    Result<SqliteStatement> query = rangeQuery(
        *m_db,
        std::string("SELECT address, crawler_id, (SELECT path FROM url_path WHERE id = path_id), sum(hits), min(day), "
                    "max(day) FROM fake_visit WHERE day BETWEEN ?1 AND ?2 AND ") +
            kCrawlerMatch + " GROUP BY address, crawler_id, path_id",
        filter);
    if (!query.ok())
        return query.status();
    std::map<std::pair<std::string, std::int64_t>, FakeRow> rows;
    std::map<std::int64_t, std::int64_t> totals;
    while (query.value().step()) {
        const SqliteStatement& r = query.value();
        FakeRow& row = rows[{std::string(r.text(0)), r.integer(1)}];
        row.address = std::string(r.text(0));
        const std::int64_t hits = r.integer(3);
        const int first = static_cast<int>(r.integer(4));
        const int last = static_cast<int>(r.integer(5));
        row.hits += hits;
        row.firstDay = row.firstDay == 0 ? first : std::min(row.firstDay, first);
        row.lastDay = std::max(row.lastDay, last);
        row.topPaths.emplace_back(std::string(r.text(2)), hits);
        totals[r.integer(1)] += hits;
    }
    if (!query.value().status().ok())
        return query.value().status();
    FakesView view;
    Result<std::vector<CrawlerColumn>> columns = columnsOf(*this, totals);
    if (!columns.ok())
        return columns.status();
    view.crawlers = std::move(columns.value());
    const auto index = columnIndex(view.crawlers);
    for (auto& [key, row] : rows) {
        const auto column = index.find(key.second);
        if (column == index.end())
            continue;
        row.crawler = column->second;
        std::stable_sort(row.topPaths.begin(), row.topPaths.end(),
                         [](const auto& a, const auto& b) { return a.second > b.second; });
        if (row.topPaths.size() > kTopPaths)
            row.topPaths.resize(kTopPaths);
        view.rows.push_back(std::move(row));
    }
    std::stable_sort(view.rows.begin(), view.rows.end(), [](const FakeRow& a, const FakeRow& b) { return a.hits > b.hits; });
    return view;
}

} // namespace quill
