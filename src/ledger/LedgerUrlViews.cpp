// The URL and directory views of the ledger: sums per path read from its URL packs.

#include "ledger/LedgerViews.h"

#include "ledger/LedgerPacks.h"
#include "ledger/LedgerSnapshot.h"
#include "ledger/LedgerTables.h"
#include "platform/CodePage.h"

#include <algorithm>
#include <compare>
#include <cstring>
#include <numeric>
#include <set>
#include <unordered_map>

namespace quill {
namespace {

// A directory row's name: the first `depth` segments of `path` with their slashes, or "/" for a
// path with no folder at that depth; empty when the path is not that deep.
std::string_view directoryOf(std::string_view path, int depth)
{
    size_t end = 0;
    for (int segment = 0; segment < depth; ++segment) {
        const size_t slash = path.find('/', end + 1);
        if (slash == std::string::npos)
            return depth == 1 ? "/" : "";
        end = slash;
    }
    return path.substr(0, end + 1);
}

// The first 16 bytes of a text as two big-endian numbers, zeros past its end: texts whose keys
// differ stand in the order of their bytes.
struct PrefixKey {
    std::uint64_t high = 0, low = 0;
    auto operator<=>(const PrefixKey&) const = default;
};

PrefixKey prefixKey(std::string_view text)
{
    unsigned char bytes[16] = {};
    std::memcpy(bytes, text.data(), std::min<size_t>(sizeof bytes, text.size()));
    PrefixKey key;
    for (size_t i = 0; i < 8; ++i) {
        key.high = key.high << 8 | bytes[i];
        key.low = key.low << 8 | bytes[i + 8];
    }
    return key;
}

// A URL row of a path's sums (its path left to the caller).
template <typename Sums>
UrlRow urlRowOf(const Sums& sums)
{
    UrlRow row;
    row.hits = sums.hits;
    row.firstDay = sums.firstDay;
    row.lastDay = sums.lastDay;
    row.classHits = sums.classHits;
    row.bytes = sums.bytes;
    row.timeTaken = sums.timeTaken;
    return row;
}

void addUrlRow(UrlRow& dir, const UrlRow& url)
{
    dir.hits += url.hits;
    dir.firstDay = dir.firstDay == 0 ? url.firstDay : std::min(dir.firstDay, url.firstDay);
    dir.lastDay = std::max(dir.lastDay, url.lastDay);
    for (size_t c = 0; c < kStatusClasses; ++c)
        dir.classHits[c] += url.classHits[c];
    dir.bytes += url.bytes;
    dir.timeTaken += url.timeTaken;
}

// Directory rows, in name order (a folder before its sub-folders), of `count` URL rows:
// `pathOf(r)` names row r's path, `add(r, dir, hits)` adds it to a directory row and its
// `columns` crawler hits.
template <typename PathOf, typename Add>
UrlView rollUpDirectories(size_t count, size_t columns, PathOf pathOf, Add add)
{
    // Names point into the paths; each directory is gathered under its first index.
    std::unordered_map<std::string_view, size_t> indexOf;
    std::vector<std::string_view> names;
    std::vector<std::pair<size_t, size_t>> contributions; // (url row, directory index)
    contributions.reserve(count * 2);
    for (size_t r = 0; r < count; ++r) {
        for (int depth : {1, 2}) {
            const std::string_view name = directoryOf(pathOf(r), depth);
            if (name.empty())
                continue;
            auto [it, added] = indexOf.try_emplace(name, names.size());
            if (added)
                names.push_back(name);
            contributions.emplace_back(r, it->second);
        }
    }
    std::vector<size_t> byName(names.size());
    std::iota(byName.begin(), byName.end(), size_t(0));
    std::sort(byName.begin(), byName.end(), [&](size_t a, size_t b) { return names[a] < names[b]; });
    UrlView dirs;
    std::vector<size_t> place(names.size());
    for (size_t index : byName) {
        place[index] = dirs.rows.size();
        UrlRow row;
        row.path = std::string(names[index]);
        row.pathId = static_cast<std::int64_t>(dirs.rows.size());
        dirs.rows.push_back(std::move(row));
    }
    dirs.crawlerHits.assign(dirs.rows.size() * columns, 0);
    for (const auto& [r, index] : contributions) {
        const size_t d = place[index];
        add(r, dirs.rows[d], dirs.crawlerHits.data() + d * columns);
    }
    return dirs;
}

} // namespace

void LedgerViews::orderPathsAsShown()
{
    const size_t paths = m_pathStarts.size() - 1;
    if (m_shownOrder.size() == paths)
        return;
    // Only paths with escapes are shown otherwise than logged.
    std::unordered_map<std::uint32_t, std::string> decoded;
    std::vector<std::string_view> shown(paths);
    m_shownOrder.resize(paths);
    for (size_t id = 0; id < paths; ++id) {
        shown[id] = pathText(id);
        if (shown[id].find('%') != std::string_view::npos)
            shown[id] = decoded.emplace(static_cast<std::uint32_t>(id), displayPath(shown[id])).first->second;
        m_shownOrder[id] = static_cast<std::uint32_t>(id);
    }
    // Most paths differ in their first 16 bytes: compared as two numbers, they need no walk
    // over the shared start of their texts.
    std::vector<PrefixKey> keys(paths);
    for (size_t id = 0; id < paths; ++id)
        keys[id] = prefixKey(shown[id]);
    std::sort(m_shownOrder.begin(), m_shownOrder.end(), [&](std::uint32_t a, std::uint32_t b) {
        if (keys[a] != keys[b])
            return keys[a] < keys[b];
        return shown[a] != shown[b] ? shown[a] < shown[b] : a < b;
    });
}

std::string_view LedgerViews::pathText(size_t id) const
{
    return std::string_view(m_pathText).substr(m_pathStarts[id], m_pathStarts[id + 1] - m_pathStarts[id]);
}

Status LedgerViews::loadPaths()
{
    Result<std::optional<std::int64_t>> version = m_db->queryInteger("PRAGMA data_version");
    if (!version.ok())
        return version.status();
    if (m_pathsVersion == version.value())
        return {};
    Result<SqliteStatement> query = m_db->prepare("SELECT id, path FROM url_path ORDER BY id");
    if (!query.ok())
        return query.status();
    // One block of text for all of them: a list of 50,000 paths is then one allocation, not 50,000.
    m_pathText.clear();
    m_pathStarts.assign(1, 0);
    while (query.value().step()) {
        const auto id = static_cast<size_t>(query.value().integer(0));
        m_pathStarts.resize(std::max(m_pathStarts.size(), id + 1), m_pathText.size());
        m_pathText += query.value().text(1);
        m_pathStarts.push_back(m_pathText.size());
    }
    if (!query.value().status().ok())
        return query.value().status();
    m_shownOrder.clear(); // made again when a list asks for it
    m_pathsVersion = version.value();
    return {};
}

Result<std::vector<LedgerViews::Pack>> LedgerViews::packsOf(const ViewFilter& filter, int& lastDay)
{
    Result<SqliteStatement> query = m_db->prepare("SELECT day FROM url_day_pack ORDER BY day");
    if (!query.ok())
        return query.status();
    std::vector<int> days; // with crawls
    while (query.value().step())
        days.push_back(static_cast<int>(query.value().integer(0)));
    if (!query.value().status().ok())
        return query.value().status();
    std::set<int> spans;
    Result<std::optional<std::int64_t>> hasSpans =
        m_db->queryInteger("SELECT count(*) FROM sqlite_master WHERE name = 'url_span_pack'");
    if (!hasSpans.ok())
        return hasSpans.status();
    // A ledger of the first version has none; a view of one crawler reads days alone.
    if (hasSpans.value().value_or(0) > 0 && !filter.crawler) {
        Result<SqliteStatement> codes = m_db->prepare("SELECT span FROM url_span_pack");
        if (!codes.ok())
            return codes.status();
        while (codes.value().step())
            spans.insert(static_cast<int>(codes.value().integer(0)));
        if (!codes.value().status().ok())
            return codes.value().status();
    }

    const int from = rangeFrom(filter.range), to = rangeTo(filter.range);
    // A span pack stands for the range's days in it when every day it holds lies in the range.
    auto usable = [&](const DaySpan& span) {
        if (!spans.count(span.code))
            return false;
        const auto first = std::lower_bound(days.begin(), days.end(), span.firstDay);
        const auto last = std::upper_bound(days.begin(), days.end(), span.lastDay);
        return first == last || (*first >= from && *(last - 1) <= to);
    };
    std::vector<Pack> packs;
    lastDay = 0;
    int coveredTo = 0; // the last day of the last span pack taken
    for (int day : days) {
        if (day < from || day > to)
            continue;
        lastDay = day;
        if (day <= coveredTo)
            continue;
        const std::array<DaySpan, 3> around = spansOf(day);
        const auto wide = std::find_if(around.rbegin(), around.rend(), usable);
        if (wide != around.rend()) {
            packs.push_back({true, wide->code});
            coveredTo = wide->lastDay;
        } else {
            packs.push_back({false, day});
        }
    }
    return packs;
}

Result<LedgerViews::RangeSums> LedgerViews::sumRange(const ViewFilter& filter)
{
    if (Status loaded = loadPaths(); !loaded)
        return loaded;
    RangeSums range;
    Result<std::vector<Pack>> packs = packsOf(filter, range.lastDay);
    if (!packs.ok())
        return packs.status();

    // The crawlers as of this snapshot; their ids are small, so hits are gathered per path and id
    // first, and the columns (crawlers with hits, most first) picked at the end.
    Result<std::vector<CrawlerColumn>> all = crawlers();
    if (!all.ok())
        return all.status();
    std::int64_t largestId = 0;
    for (const CrawlerColumn& crawler : all.value())
        largestId = std::max(largestId, crawler.id);
    const auto width = static_cast<size_t>(largestId + 1);
    const size_t paths = m_pathStarts.size() - 1;
    m_sums.assign(paths, PathSums{});
    // A row of sums per crawler met in the range, so memory grows with the crawlers shown, not
    // with every crawler the ledger knows.
    std::vector<int> slotOf(width, -1);
    size_t slots = 0;
    std::vector<std::int64_t> totals(width, 0);
    auto addSums = [&](std::uint32_t path, const auto& row, int first, int last) {
        PathSums& sums = m_sums[path];
        sums.hits += row.hits;
        sums.firstDay = sums.firstDay == 0 ? first : std::min(sums.firstDay, first);
        sums.lastDay = std::max(sums.lastDay, last);
        for (size_t c = 0; c < kStatusClasses; ++c)
            sums.classHits[c] += row.classHits[c];
        sums.bytes += row.bytes;
        sums.timeTaken += row.timeTaken;
    };
    auto addCrawler = [&](std::uint32_t path, std::uint32_t crawler, std::int64_t hits) {
        int& slot = slotOf[crawler];
        if (slot < 0) {
            slot = static_cast<int>(slots++);
            if (m_crawlerSums.size() < slots)
                m_crawlerSums.emplace_back();
            m_crawlerSums[static_cast<size_t>(slot)].assign(paths, 0);
        }
        m_crawlerSums[static_cast<size_t>(slot)][path] += hits;
        totals[crawler] += hits;
    };
    for (const Pack& pack : packs.value()) {
        Result<bool> read =
            m_db->readBlob(pack.span ? "url_span_pack" : "url_day_pack", "pack", pack.key, m_packBytes);
        if (!read.ok())
            return read.status();
        if (!read.value())
            continue;
        bool whole = true;
        if (pack.span) {
            whole = decodePathPack(m_packBytes, [&](const PathSpanRow& row) {
                if (row.path >= m_sums.size())
                    return;
                addSums(row.path, row, row.firstDay, row.lastDay);
                for (const CrawlerHits& hits : row.crawlers)
                    if (hits.crawler < width)
                        addCrawler(row.path, hits.crawler, hits.hits);
            });
        } else {
            whole = decodeUrlPack(m_packBytes, [&](const UrlDayRow& row) {
                if ((filter.crawler && *filter.crawler != row.crawler) || row.crawler >= width ||
                    row.path >= m_sums.size())
                    return;
                addSums(row.path, row, pack.key, pack.key);
                addCrawler(row.path, row.crawler, row.hits);
            });
        }
        if (!whole) // never written so: the file was changed by something else
            return Status::failure(gbk("抓取档案文件已损坏 (") + (pack.span ? "url_span_pack " : "url_day_pack ") +
                                   std::to_string(pack.key) + ")");
    }

    for (const CrawlerColumn& crawler : all.value())
        if (totals[static_cast<size_t>(crawler.id)] > 0)
            range.crawlers.push_back(crawler);
    std::stable_sort(range.crawlers.begin(), range.crawlers.end(), [&](const CrawlerColumn& a, const CrawlerColumn& b) {
        return totals[static_cast<size_t>(a.id)] > totals[static_cast<size_t>(b.id)];
    });
    for (const CrawlerColumn& crawler : range.crawlers)
        range.columns.push_back(&m_crawlerSums[static_cast<size_t>(slotOf[static_cast<size_t>(crawler.id)])]);
    return range;
}

Result<UrlView> LedgerViews::urls(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    Result<RangeSums> range = sumRange(filter);
    if (!range.ok())
        return range.status();
    orderPathsAsShown();
    const std::vector<const std::vector<std::int64_t>*>& columns = range.value().columns;
    UrlView view;
    view.crawlers = std::move(range.value().crawlers);
    const auto shown = static_cast<size_t>(
        std::count_if(m_sums.begin(), m_sums.end(), [](const PathSums& sums) { return sums.firstDay != 0; }));
    view.rows.reserve(shown);
    view.crawlerHits.reserve(shown * columns.size());
    for (std::uint32_t path : m_shownOrder) {
        const PathSums& sums = m_sums[path];
        if (sums.firstDay == 0)
            continue;
        UrlRow row = urlRowOf(sums);
        row.pathId = path;
        row.path = pathText(path);
        view.rows.push_back(std::move(row));
        for (const std::vector<std::int64_t>* hits : columns)
            view.crawlerHits.push_back((*hits)[path]);
    }
    view.rangeEnd = filter.range.to != 0 ? filter.range.to : range.value().lastDay;
    return view;
}

UrlView directoriesOf(const UrlView& urls)
{
    const size_t columns = urls.crawlers.size();
    UrlView dirs = rollUpDirectories(
        urls.rows.size(), columns, [&](size_t r) { return std::string_view(urls.rows[r].path); },
        [&](size_t r, UrlRow& dir, std::int64_t* hits) {
            addUrlRow(dir, urls.rows[r]);
            for (size_t c = 0; c < columns; ++c)
                hits[c] += urls.crawlerHits[r * columns + c];
        });
    dirs.crawlers = urls.crawlers;
    dirs.rangeEnd = urls.rangeEnd;
    return dirs;
}

Result<UrlView> LedgerViews::directories(const ViewFilter& filter)
{
    Snapshot snapshot(*m_db);
    if (!snapshot.status().ok())
        return snapshot.status();
    Result<RangeSums> range = sumRange(filter);
    if (!range.ok())
        return range.status();
    // Straight from the sums per path: no list of URLs is made on the way.
    std::vector<std::uint32_t> crawled;
    for (size_t path = 0; path < m_sums.size(); ++path)
        if (m_sums[path].firstDay != 0)
            crawled.push_back(static_cast<std::uint32_t>(path));
    const std::vector<const std::vector<std::int64_t>*>& columns = range.value().columns;
    UrlView dirs = rollUpDirectories(
        crawled.size(), columns.size(), [&](size_t r) { return pathText(crawled[r]); },
        [&](size_t r, UrlRow& dir, std::int64_t* hits) {
            addUrlRow(dir, urlRowOf(m_sums[crawled[r]]));
            for (size_t c = 0; c < columns.size(); ++c)
                hits[c] += (*columns[c])[crawled[r]];
        });
    dirs.crawlers = std::move(range.value().crawlers);
    dirs.rangeEnd = filter.range.to != 0 ? filter.range.to : range.value().lastDay;
    return dirs;
}

} // namespace quill
