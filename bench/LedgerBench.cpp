// The crawl ledger's views in the process that shows them: what the "抓取档案" page computes
// before its URL list shows its first rows after a change of range, and each other view, over a
// ledger filled from months of logs. QUILLMARK_BENCH_LEDGER names the ledger file.

#include "ledger/LedgerDays.h"
#include "ledger/LedgerTables.h"
#include "ledger/LedgerViews.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

using namespace quill;

namespace {

LedgerViews& views()
{
    static std::unique_ptr<LedgerViews> opened = [] {
        const char* path = std::getenv("QUILLMARK_BENCH_LEDGER");
        auto result = LedgerViews::open(path ? path : "bench/data/site/ledger.db");
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", result.status().message().c_str());
            std::exit(1);
        }
        return std::move(result.value());
    }();
    return *opened;
}

// `days` days of the ledger ending `before` days before its last; 0 days: all of it.
DateRange lastDays(int days, int before = 0)
{
    const DateRange span = views().span().value().value();
    if (days == 0)
        return span;
    const int end = dayNumber(span.to) - before;
    return {dayFromNumber(end - days + 1), dayFromNumber(end)};
}

// What the page does before its URL list shows: the view, the directories and the sorted list.
// As on the page, the lists shown before are let go once the new ones are made.
void urlList(benchmark::State& state, const ViewFilter& filter)
{
    std::unique_ptr<LedgerTable> shown, shownDirs;
    for (auto _ : state) {
        UrlView urls = std::move(views().urls(filter).value());
        auto dirs = urlTable(directoriesOf(urls), true);
        auto table = urlTable(std::move(urls), false);
        table->sortBy(0, false);
        shown = std::move(table);
        shownDirs = std::move(dirs);
    }
    state.counters["rows"] = static_cast<double>(shown ? shown->rowCount() : 0);
}

// Arguments: days (0: all), and how many days before the ledger's last the range ends.
void BM_UrlListAfterRangeChange(benchmark::State& state)
{
    urlList(state, {lastDays(static_cast<int>(state.range(0)), static_cast<int>(state.range(1))), std::nullopt});
}
BENCHMARK(BM_UrlListAfterRangeChange)
    ->Args({0, 0})
    ->Args({30, 0})
    ->Args({7, 0})
    ->Args({30, 15})
    ->Unit(benchmark::kMillisecond);

// One crawler's list, all days: read from the day packs.
void BM_UrlListOfOneCrawler(benchmark::State& state)
{
    const std::optional<std::int64_t> baidu = views().findCrawler("Baiduspider").value();
    urlList(state, {lastDays(0), baidu});
}
BENCHMARK(BM_UrlListOfOneCrawler)->Unit(benchmark::kMillisecond);

void BM_OtherViews(benchmark::State& state)
{
    const ViewFilter filter{lastDays(0), std::nullopt};
    for (auto _ : state) {
        benchmark::DoNotOptimize(views().days({}).value());
        benchmark::DoNotOptimize(views().statuses(filter).value());
        benchmark::DoNotOptimize(views().hours(filter).value());
        benchmark::DoNotOptimize(views().fakes(filter).value());
    }
}
BENCHMARK(BM_OtherViews)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
