#include "ledger/PathPack.h"

#include <algorithm>
#include <limits>

namespace quill {

using detail::appendNumber;
using detail::counted;

namespace {

// Both sorted by crawler id.
void addCrawlers(std::vector<CrawlerHits>& into, const std::vector<CrawlerHits>& more)
{
    std::vector<CrawlerHits> merged;
    merged.reserve(into.size() + more.size());
    auto a = into.cbegin();
    auto b = more.cbegin();
    while (a != into.cend() || b != more.cend()) {
        if (b == more.cend() || (a != into.cend() && a->crawler < b->crawler)) {
            merged.push_back(*a++);
        } else if (a == into.cend() || b->crawler < a->crawler) {
            merged.push_back(*b++);
        } else {
            merged.push_back({a->crawler, a->hits + b->hits});
            ++a;
            ++b;
        }
    }
    into = std::move(merged);
}

void addRow(PathSpanRow& into, const PathSpanRow& row)
{
    into.hits += row.hits;
    for (int c = 0; c < 4; ++c)
        into.classHits[c] += row.classHits[c];
    into.bytes += row.bytes;
    into.timeTaken += row.timeTaken;
    into.firstDay = std::min(into.firstDay, row.firstDay);
    into.lastDay = std::max(into.lastDay, row.lastDay);
    addCrawlers(into.crawlers, row.crawlers);
}

} // namespace

std::string encodePathPack(const std::vector<PathSpanRow>& rows)
{
    std::string out;
    if (rows.empty())
        return out;
    int base = std::numeric_limits<int>::max();
    for (const PathSpanRow& row : rows)
        base = std::min(base, dayNumber(row.firstDay));
    out.reserve(rows.size() * 40);
    appendNumber(out, static_cast<std::uint64_t>(base + detail::kPathPackDayBias));
    std::uint32_t path = 0;
    for (const PathSpanRow& row : rows) {
        appendNumber(out, row.path - path); // paths ascend, so their gaps are small
        path = row.path;
        appendNumber(out, counted(row.hits));
        for (std::int64_t hits : row.classHits)
            appendNumber(out, counted(hits));
        appendNumber(out, counted(row.bytes));
        appendNumber(out, counted(row.timeTaken));
        const int first = dayNumber(row.firstDay);
        appendNumber(out, static_cast<std::uint64_t>(first - base));
        appendNumber(out, static_cast<std::uint64_t>(std::max(0, dayNumber(row.lastDay) - first)));
        appendNumber(out, row.crawlers.size());
        std::uint32_t crawler = 0;
        for (const CrawlerHits& hits : row.crawlers) {
            appendNumber(out, hits.crawler - crawler);
            crawler = hits.crawler;
            appendNumber(out, counted(hits.hits));
        }
    }
    return out;
}

std::optional<std::vector<PathSpanRow>> mergedPathRows(std::string_view pack, const std::vector<PathSpanRow>& delta)
{
    std::vector<PathSpanRow> merged;
    merged.reserve(delta.size() + pack.size() / 32);
    auto next = delta.begin();
    const bool whole = decodePathPack(pack, [&](const PathSpanRow& row) {
        for (; next != delta.end() && next->path < row.path; ++next)
            merged.push_back(*next);
        merged.push_back(row);
        if (next != delta.end() && next->path == row.path)
            addRow(merged.back(), *next++);
    });
    if (!whole)
        return std::nullopt;
    merged.insert(merged.end(), next, delta.end());
    return merged;
}

void PathRowsBuilder::add(int day, std::uint32_t path, std::uint32_t crawler, int statusClass, std::int64_t hits,
                          std::int64_t bytes, std::int64_t timeTaken)
{
    auto [at, added] = m_rowOf.try_emplace(path, m_rows.size());
    if (added) {
        PathSpanRow row;
        row.path = path;
        row.firstDay = row.lastDay = day;
        m_rows.push_back(std::move(row));
    }
    PathSpanRow& row = m_rows[at->second];
    row.hits += hits;
    if (statusClass >= 0 && statusClass < 4)
        row.classHits[statusClass] += hits;
    row.bytes += bytes;
    row.timeTaken += timeTaken;
    row.firstDay = std::min(row.firstDay, day);
    row.lastDay = std::max(row.lastDay, day);
    auto it = std::find_if(row.crawlers.begin(), row.crawlers.end(),
                           [&](const CrawlerHits& known) { return known.crawler == crawler; });
    if (it == row.crawlers.end())
        row.crawlers.push_back({crawler, hits});
    else
        it->hits += hits;
}

std::vector<PathSpanRow> PathRowsBuilder::take()
{
    std::vector<PathSpanRow> rows = std::move(m_rows);
    m_rows.clear();
    m_rowOf.clear();
    std::sort(rows.begin(), rows.end(), [](const PathSpanRow& a, const PathSpanRow& b) { return a.path < b.path; });
    for (PathSpanRow& row : rows)
        std::sort(row.crawlers.begin(), row.crawlers.end(),
                  [](const CrawlerHits& a, const CrawlerHits& b) { return a.crawler < b.crawler; });
    return rows;
}

} // namespace quill
