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

// The last `days` days of the ledger; 0: all of it.
DateRange lastDays(int days)
{
    const DateRange span = views().span().value().value();
    if (days == 0)
        return span;
    return {dayFromNumber(dayNumber(span.to) - days + 1), span.to};
}

// What the page does before its URL list shows: the view, the directories and the sorted list.
void BM_UrlListAfterRangeChange(benchmark::State& state)
{
    const DateRange range = lastDays(static_cast<int>(state.range(0)));
    size_t rows = 0;
    for (auto _ : state) {
        UrlView urls = std::move(views().urls({range, std::nullopt}).value());
        auto dirs = urlTable(directoriesOf(urls), true);
        auto table = urlTable(std::move(urls), false);
        table->sortBy(0, false);
        rows = table->rowCount();
        benchmark::DoNotOptimize(dirs);
    }
    state.counters["rows"] = static_cast<double>(rows);
}
BENCHMARK(BM_UrlListAfterRangeChange)->Arg(0)->Arg(30)->Arg(7)->Unit(benchmark::kMillisecond);

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


namespace {
void BM_TmpUrlsOnly(benchmark::State& state)
{
    const DateRange range = lastDays(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        UrlView urls = std::move(views().urls({range, std::nullopt}).value());
        benchmark::DoNotOptimize(urls);
    }
}
BENCHMARK(BM_TmpUrlsOnly)->Arg(0)->Arg(30)->Arg(7)->Unit(benchmark::kMillisecond);
void BM_TmpTable(benchmark::State& state)
{
    UrlView urls = std::move(views().urls({lastDays(0), std::nullopt}).value());
    for (auto _ : state) {
        auto table = urlTable(urls, false);
        table->sortBy(0, false);
        benchmark::DoNotOptimize(table);
    }
}
BENCHMARK(BM_TmpTable)->Unit(benchmark::kMillisecond);
void BM_TmpDirs(benchmark::State& state)
{
    UrlView urls = std::move(views().urls({lastDays(0), std::nullopt}).value());
    for (auto _ : state) {
        auto dirs = urlTable(directoriesOf(urls), true);
        benchmark::DoNotOptimize(dirs);
    }
}
BENCHMARK(BM_TmpDirs)->Unit(benchmark::kMillisecond);
}
#include "ledger/UrlPack.h"
namespace {
void BM_TmpDecode(benchmark::State& state)
{
    std::vector<std::string> packs;
    auto prepared = views().database().prepare("SELECT pack FROM url_day_pack ORDER BY day DESC LIMIT 29");
    auto& q = prepared.value();
    while (q.step()) packs.emplace_back(q.blob(0));
    for (auto _ : state) {
        std::int64_t sum = 0;
        for (const auto& p : packs)
            decodeUrlPack(p, [&](const UrlDayRow& r) { sum += r.hits + r.bytes + r.path; });
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(BM_TmpDecode)->Unit(benchmark::kMillisecond);
}
BENCHMARK_MAIN();
