#pragma once
// The ledger's URL packs: sums of `crawl` kept ahead of the URL view and written inside each add's
// transaction, so they always equal the table they come from. url_day_pack holds a day per path and
// crawler; url_span_pack a span of days per path: a third of a month, a month, every day.

#include "ledger/PathPack.h"
#include "ledger/SqliteDatabase.h"
#include "ledger/UrlPack.h"

#include <array>
#include <vector>

namespace quill {

// The days a span pack sums: every day (code 0), a month (yyyymm0) or a third of one (yyyymm1:
// days 1-10, yyyymm2: 11-20, yyyymm3: 21 to the end).
struct DaySpan {
    int code = 0;
    int firstDay = 0; // yyyymmdd, both included
    int lastDay = 0;
};

// The spans that hold `day`, the smallest first.
std::array<DaySpan, 3> spansOf(int day);

// One crawl sum of an add, fakes left out.
struct SpanCrawl {
    int day = 0;
    std::uint32_t path = 0;
    std::uint32_t crawler = 0;
    int statusClass = -1; // 0-3: 2xx-5xx
    std::int64_t hits = 0;
    std::int64_t bytes = 0;
    std::int64_t timeTaken = 0;
};

// Writes the pack of `day` afresh from its `crawl` rows.
Status rebuildDayPack(SqliteDatabase& db, int day);

// Adds `crawls` to the packs of the spans that hold their days. A pack that cannot be read is
// written afresh from `crawl`.
Status addToSpanPacks(SqliteDatabase& db, const std::vector<SpanCrawl>& crawls);

// Writes every span pack afresh from `crawl`.
Status rebuildSpanPacks(SqliteDatabase& db);

} // namespace quill
