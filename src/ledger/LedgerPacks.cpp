#include "ledger/LedgerPacks.h"

#include "verify/Verdict.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace quill {
namespace {

int statusClass(std::int64_t status) { return status >= 200 && status < 600 ? static_cast<int>(status / 100) - 2 : -1; }

// Every `crawl` row of days `from` to `to`, fakes left out: visit(day, path, crawler, status, hits,
// bytes, time taken).
template <typename Visit>
Status readCrawl(SqliteDatabase& db, int from, int to, Visit visit)
{
    Result<SqliteStatement> query = db.prepare("SELECT day, path_id, crawler_id, status, hits, bytes, time_taken "
                                               "FROM crawl WHERE day BETWEEN ? AND ? AND verdict <> ?");
    if (!query.ok())
        return query.status();
    query.value().bind(1, from).bind(2, to).bind(3, static_cast<int>(Verdict::Fake));
    while (query.value().step()) {
        const SqliteStatement& r = query.value();
        visit(static_cast<int>(r.integer(0)), static_cast<std::uint32_t>(r.integer(1)),
              static_cast<std::uint32_t>(r.integer(2)), r.integer(3), r.integer(4), r.integer(5), r.integer(6));
    }
    return query.value().status();
}

Status saveBlob(SqliteDatabase& db, std::string_view sql, const std::vector<std::int64_t>& keys, std::int64_t rows,
                const std::string& pack)
{
    Result<SqliteStatement> save = db.prepare(sql);
    if (!save.ok())
        return save.status();
    int index = 1;
    for (std::int64_t key : keys)
        save.value().bind(index++, key);
    return save.value().bind(index, rows).bindBlob(index + 1, pack).run();
}

Status saveSpan(SqliteDatabase& db, const DaySpan& span, const std::vector<PathSpanRow>& rows)
{
    return saveBlob(db, "INSERT OR REPLACE INTO url_span_pack VALUES (?, ?, ?, ?, ?)",
                    {span.code, span.firstDay, span.lastDay}, static_cast<std::int64_t>(rows.size()),
                    encodePathPack(rows));
}

// The rows of `span` summed from `crawl`.
Result<std::vector<PathSpanRow>> spanRowsFromCrawl(SqliteDatabase& db, const DaySpan& span)
{
    PathRowsBuilder builder;
    Status read = readCrawl(db, span.firstDay, span.lastDay,
                            [&](int day, std::uint32_t path, std::uint32_t crawler, std::int64_t status,
                                std::int64_t hits, std::int64_t bytes, std::int64_t timeTaken) {
                                builder.add(day, path, crawler, statusClass(status), hits, bytes, timeTaken);
                            });
    if (!read.ok())
        return read;
    return builder.take();
}

// The stored pack of `span`; nothing when there is none.
Result<std::optional<std::string>> spanPack(SqliteDatabase& db, int code)
{
    Result<SqliteStatement> query = db.prepare("SELECT pack FROM url_span_pack WHERE span = ?");
    if (!query.ok())
        return query.status();
    query.value().bind(1, code);
    if (query.value().step())
        return std::optional<std::string>(std::string(query.value().blob(0)));
    if (!query.value().status().ok())
        return query.value().status();
    return std::optional<std::string>();
}

// Adds `rows` to the pack of `span`, or sums the span afresh when its pack is damaged.
Status addToSpan(SqliteDatabase& db, const DaySpan& span, const std::vector<PathSpanRow>& rows)
{
    Result<std::optional<std::string>> stored = spanPack(db, span.code);
    if (!stored.ok())
        return stored.status();
    if (std::optional<std::vector<PathSpanRow>> merged = mergedPathRows(stored.value().value_or(""), rows))
        return saveSpan(db, span, *merged);
    Result<std::vector<PathSpanRow>> afresh = spanRowsFromCrawl(db, span); // after this add's rows went in
    if (!afresh.ok())
        return afresh.status();
    return saveSpan(db, span, afresh.value());
}

} // namespace

std::array<DaySpan, 3> spansOf(int day)
{
    const int month = day / 100;
    const int nextMonth = month % 100 == 12 ? (month / 100 + 1) * 100 + 1 : month + 1;
    const int monthEnd = dayFromNumber(dayNumber(nextMonth * 100 + 1) - 1);
    const int part = day % 100 <= 10 ? 1 : day % 100 <= 20 ? 2 : 3;
    const int third = month * 100 + (part - 1) * 10;
    return {DaySpan{month * 10 + part, third + 1, part == 3 ? monthEnd : third + 10},
            DaySpan{month * 10, month * 100 + 1, monthEnd}, DaySpan{0, 0, 99991231}};
}

Status rebuildDayPack(SqliteDatabase& db, int day)
{
    std::unordered_map<std::uint64_t, size_t> index;
    std::vector<UrlDayRow> rows;
    Status read = readCrawl(db, day, day,
                            [&](int, std::uint32_t path, std::uint32_t crawler, std::int64_t status, std::int64_t hits,
                                std::int64_t bytes, std::int64_t timeTaken) {
                                auto [at, added] = index.try_emplace(std::uint64_t(path) << 32 | crawler, rows.size());
                                if (added)
                                    rows.push_back(UrlDayRow{.path = path, .crawler = crawler});
                                UrlDayRow& row = rows[at->second];
                                row.hits += hits;
                                if (const int c = statusClass(status); c >= 0)
                                    row.classHits[c] += hits;
                                row.bytes += bytes;
                                row.timeTaken += timeTaken;
                            });
    if (!read.ok())
        return read;
    std::sort(rows.begin(), rows.end(), [](const UrlDayRow& a, const UrlDayRow& b) {
        return a.path != b.path ? a.path < b.path : a.crawler < b.crawler;
    });
    return saveBlob(db, "INSERT OR REPLACE INTO url_day_pack VALUES (?, ?, ?)", {day},
                    static_cast<std::int64_t>(rows.size()), encodeUrlPack(rows));
}

Status addToSpanPacks(SqliteDatabase& db, const std::vector<SpanCrawl>& crawls)
{
    std::map<int, DaySpan> spans;
    for (const SpanCrawl& crawl : crawls)
        for (const DaySpan& span : spansOf(crawl.day))
            spans.emplace(span.code, span);
    for (const auto& [code, span] : spans) {
        PathRowsBuilder builder;
        for (const SpanCrawl& c : crawls)
            if (c.day >= span.firstDay && c.day <= span.lastDay)
                builder.add(c.day, c.path, c.crawler, c.statusClass, c.hits, c.bytes, c.timeTaken);
        if (Status added = addToSpan(db, span, builder.take()); !added)
            return added;
    }
    return {};
}

Status rebuildSpanPacks(SqliteDatabase& db)
{
    Result<SqliteStatement> days = db.prepare("SELECT day FROM day_total ORDER BY day");
    if (!days.ok())
        return days.status();
    std::map<int, DaySpan> thirds, wider;
    while (days.value().step()) {
        const std::array<DaySpan, 3> spans = spansOf(static_cast<int>(days.value().integer(0)));
        thirds.emplace(spans[0].code, spans[0]);
        wider.emplace(spans[1].code, spans[1]);
        wider.emplace(spans[2].code, spans[2]);
    }
    if (!days.value().status().ok())
        return days.value().status();
    // Each third from `crawl`; the months and every day from the thirds they hold.
    if (Status cleared = db.exec("DELETE FROM url_span_pack"); !cleared)
        return cleared;
    for (const auto& [code, span] : thirds) {
        Result<std::vector<PathSpanRow>> rows = spanRowsFromCrawl(db, span);
        if (!rows.ok())
            return rows.status();
        for (const DaySpan& into : {span, wider.at(code / 10 * 10), wider.at(0)})
            if (Status added = addToSpan(db, into, rows.value()); !added)
                return added;
    }
    return {};
}

} // namespace quill
