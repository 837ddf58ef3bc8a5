#pragma once
// The crawled URLs of a span of days (ten days, a month, every day) summed per URL path, fakes left
// out: what the URL view shows of a path, and the hits of each crawler. Views of all crawlers over
// whole spans read these instead of a pack per day.

#include "ledger/LedgerDays.h"
#include "ledger/UrlPack.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill {

struct CrawlerHits {
    std::uint32_t crawler = 0; // crawler id
    std::int64_t hits = 0;
};

struct PathSpanRow {
    std::uint32_t path = 0; // url_path id
    std::int64_t hits = 0;
    std::int64_t classHits[4] = {}; // 2xx, 3xx, 4xx, 5xx
    std::int64_t bytes = 0;
    std::int64_t timeTaken = 0;
    int firstDay = 0; // yyyymmdd of the first and last crawl in the span
    int lastDay = 0;
    std::vector<CrawlerHits> crawlers; // by crawler id
};

// `rows` sorted by path.
std::string encodePathPack(const std::vector<PathSpanRow>& rows);

// Calls `visit(const PathSpanRow&)` for each row; the row's crawlers are reused from one row to the
// next. False when the bytes are damaged (what was read before the damage has been visited).
template <typename Visit>
bool decodePathPack(std::string_view pack, Visit&& visit);

// The rows of `pack` with `delta` (sorted by path) added; nothing when the pack is damaged.
std::optional<std::vector<PathSpanRow>> mergedPathRows(std::string_view pack, const std::vector<PathSpanRow>& delta);

// Sums crawls, in any order, into path rows.
class PathRowsBuilder {
public:
    // `statusClass`: 0-3 for 2xx-5xx, -1 for any other status.
    void add(int day, std::uint32_t path, std::uint32_t crawler, int statusClass, std::int64_t hits, std::int64_t bytes,
             std::int64_t timeTaken);
    // The rows so far, sorted by path, each with its crawlers by id; the builder is left empty.
    std::vector<PathSpanRow> take();

private:
    std::vector<PathSpanRow> m_rows;
    std::unordered_map<std::uint32_t, size_t> m_rowOf;
};

namespace detail {
// Days are stored as day numbers after the pack's first, which is biased so that years before 1970
// fit an unsigned number.
inline constexpr std::int64_t kPathPackDayBias = 1'000'000;
} // namespace detail

template <typename Visit>
bool decodePathPack(std::string_view pack, Visit&& visit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pack.data());
    const auto* end = p + pack.size();
    if (p == end)
        return true;
    std::uint64_t biased = 0;
    if (!detail::readNumber(p, end, biased) || biased > 2 * detail::kPathPackDayBias)
        return false;
    const int base = static_cast<int>(static_cast<std::int64_t>(biased) - detail::kPathPackDayBias);
    PathSpanRow row;
    std::uint64_t values[11];
    while (p < end) {
        for (std::uint64_t& value : values)
            if (!detail::readNumber(p, end, value))
                return false;
        row.path += static_cast<std::uint32_t>(values[0]);
        row.hits = static_cast<std::int64_t>(values[1]);
        for (int c = 0; c < 4; ++c)
            row.classHits[c] = static_cast<std::int64_t>(values[2 + c]);
        row.bytes = static_cast<std::int64_t>(values[6]);
        row.timeTaken = static_cast<std::int64_t>(values[7]);
        if (values[8] > 1'000'000 || values[9] > 1'000'000)
            return false;
        const int first = base + static_cast<int>(values[8]);
        row.firstDay = dayFromNumber(first);
        row.lastDay = dayFromNumber(first + static_cast<int>(values[9]));
        if (values[10] > static_cast<std::uint64_t>(end - p) / 2)
            return false;
        row.crawlers.resize(static_cast<size_t>(values[10]));
        std::uint32_t crawler = 0;
        for (CrawlerHits& hits : row.crawlers) {
            std::uint64_t id = 0, count = 0;
            if (!detail::readNumber(p, end, id) || !detail::readNumber(p, end, count))
                return false;
            crawler += static_cast<std::uint32_t>(id);
            hits = {crawler, static_cast<std::int64_t>(count)};
        }
        visit(row);
    }
    return true;
}

} // namespace quill
