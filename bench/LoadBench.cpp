// In-process benchmarks of the log view's engine on one large log (QUILLMARK_BENCH_LOG):
// a load with the default filters, and header clicks on "日期" and "用时" of the loaded store.

#include "logs/LogAnalysis.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>

namespace {

std::string benchLog()
{
    const char* path = std::getenv("QUILLMARK_BENCH_LOG");
    return path ? path : "bench/data/iis7_1073741824.log";
}

void loadInFreshWindows(benchmark::State& state)
{
    const std::string path = benchLog();
    for (auto _ : state) {
        quill::LogAnalysis analysis;
        auto result = analysis.load(path, quill::FilterSnapshot{});
        if (!result.read()) {
            state.SkipWithError("cannot load the benchmark log");
            return;
        }
        state.counters["records"] = analysis.store().count();
    }
}

// Registered first, so it runs first: the process's first load, with no memory of its own yet.
void BM_FirstLoadOfTheProcess(benchmark::State& state) { loadInFreshWindows(state); }
BENCHMARK(BM_FirstLoadOfTheProcess)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

void BM_LoadDefaultFilters(benchmark::State& state) { loadInFreshWindows(state); }
BENCHMARK(BM_LoadDefaultFilters)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// A reload in the same window: the memory of the last load's text is written again.
void BM_ReloadDefaultFilters(benchmark::State& state)
{
    const std::string path = benchLog();
    quill::LogAnalysis analysis;
    analysis.load(path, quill::FilterSnapshot{});
    for (auto _ : state)
        analysis.load(path, quill::FilterSnapshot{});
    state.counters["records"] = analysis.store().count();
}
BENCHMARK(BM_ReloadDefaultFilters)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// One store for all click benchmarks; each click sorts from file order again.
quill::LogAnalysis& loadedAnalysis()
{
    static quill::LogAnalysis analysis;
    static bool loaded = [] {
        analysis.load(benchLog(), quill::FilterSnapshot{});
        return true;
    }();
    (void)loaded;
    return analysis;
}

void BM_Click(benchmark::State& state)
{
    quill::LogAnalysis& analysis = loadedAnalysis();
    for (auto _ : state)
        if (!analysis.clickColumn(static_cast<int>(state.range(0))))
            state.SkipWithError("the log changed under the benchmark");
}
BENCHMARK(BM_Click)->Arg(quill::kColDate)->Arg(quill::kColTimeTaken)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

BENCHMARK_MAIN();
