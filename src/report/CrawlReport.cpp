#include "report/CrawlReport.h"

#include "ledger/LedgerDays.h"
#include "ledger/LedgerTables.h"
#include "platform/ReplacementFile.h"

#include <algorithm>
#include <set>

namespace quill {
namespace {

// The `count` first rows of `rows` once sorted by `before`.
template <typename Row, typename Before>
std::vector<Row> firstRows(std::vector<Row> rows, size_t count, Before before)
{
    const size_t kept = std::min(count, rows.size());
    std::partial_sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(kept), rows.end(), before);
    rows.resize(kept);
    return rows;
}

void addUrls(CrawlReport& report, const UrlView& urls)
{
    const size_t columns = urls.crawlers.size();
    std::vector<ReportUrl> rows;
    rows.reserve(urls.rows.size());
    for (size_t r = 0; r < urls.rows.size(); ++r) {
        const UrlRow& url = urls.rows[r];
        if (url.hits == 0)
            continue;
        rows.push_back({url.path, url.hits, url.lastDay, daysBetween(url.lastDay, urls.rangeEnd)});
        for (size_t c = 0; c < columns; ++c) {
            if (urls.crawlerHits[r * columns + c] == 0)
                continue;
            for (ReportCrawler& crawler : report.crawlers)
                if (crawler.name == urls.crawlers[c].name)
                    ++crawler.urls;
        }
    }
    report.urlsCrawled = static_cast<std::int64_t>(rows.size());
    report.topUrls = firstRows(rows, kReportListRows, [](const ReportUrl& a, const ReportUrl& b) {
        return a.hits != b.hits ? a.hits > b.hits : a.path < b.path;
    });
    report.staleUrls = firstRows(std::move(rows), kReportListRows, [](const ReportUrl& a, const ReportUrl& b) {
        return a.lastDay != b.lastDay ? a.lastDay < b.lastDay : a.path < b.path;
    });
    for (std::vector<ReportUrl>* list : {&report.topUrls, &report.staleUrls})
        for (ReportUrl& url : *list)
            url.path = displayPath(url.path);

    const UrlView dirs = directoriesOf(urls);
    std::vector<ReportDirectory> directories;
    for (const UrlRow& dir : dirs.rows)
        directories.push_back({dir.path, dir.hits, dir.classHits});
    report.directories = firstRows(std::move(directories), kReportListRows,
                                   [](const ReportDirectory& a, const ReportDirectory& b) {
                                       return a.hits != b.hits ? a.hits > b.hits : a.path < b.path;
                                   });
}

} // namespace

bool isAiGroup(std::string_view gbkGroup) { return gbkGroup.starts_with("AI"); }

Result<CrawlReport> buildCrawlReport(LedgerViews& views, DateRange range)
{
    CrawlReport report;
    const Result<std::optional<DateRange>> span = views.span();
    if (!span.ok())
        return span.status();
    if (!span.value())
        return report;
    report.range = {range.from ? range.from : span.value()->from, range.to ? range.to : span.value()->to};
    const ViewFilter filter{report.range, std::nullopt};

    Result<DaysView> days = views.days(filter);
    if (!days.ok())
        return days.status();
    report.days = std::move(days.value());
    for (const DayRow& day : report.days.rows)
        report.requests += day.requests;

    const Result<StatusView> statuses = views.statuses(filter);
    if (!statuses.ok())
        return statuses.status();
    for (const StatusRow& row : statuses.value().rows) {
        if (row.day != 0)
            continue;
        const CrawlerColumn& column = statuses.value().crawlers[row.crawler];
        report.crawlers.push_back({column.name, column.group, row.hits, row.classHits, row.status200, 0});
        report.crawlerHits += row.hits;
        report.not200 += row.hits - row.status200;
    }
    std::stable_sort(report.crawlers.begin(), report.crawlers.end(),
                     [](const ReportCrawler& a, const ReportCrawler& b) { return a.hits > b.hits; });

    const Result<UrlView> urls = views.urls(filter);
    if (!urls.ok())
        return urls.status();
    addUrls(report, urls.value());

    const Result<HoursView> hours = views.hours(filter);
    if (!hours.ok())
        return hours.status();
    for (size_t hour = 0; hour < 24; ++hour)
        for (std::int64_t hits : hours.value().hits[hour])
            report.hours[hour] += hits;

    const Result<FakesView> fakes = views.fakes(filter);
    if (!fakes.ok())
        return fakes.status();
    std::set<std::string> addresses;
    for (const FakeRow& row : fakes.value().rows) {
        report.fakeHits += row.hits;
        addresses.insert(row.address);
        if (report.fakes.size() < kReportListRows)
            report.fakes.push_back({row.address, fakes.value().crawlers[row.crawler].name, row.hits, row.firstDay,
                                    row.lastDay, row.topPaths.empty() ? std::string() : displayPath(row.topPaths[0].first)});
    }
    report.fakeAddresses = static_cast<std::int64_t>(addresses.size());
    return report;
}

Status saveReport(const std::string& path, std::string_view text)
{
    ReplacementFile file(path, false);
    (void)file.write(text); // a failed write fails the commit, which says why
    return file.commit();
}

} // namespace quill
