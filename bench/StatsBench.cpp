// The crawler statistics over generated folders of daily logs, timed as whole runs of
// "quillmarkbox-cli stats" and in process, against cat and grep over the same files in the same run.

#include "CrawlerLogGenerator.h"

#include "crawlers/CountCrawlerVisits.h"
#include "crawlers/CrawlerTable.h"
#include "platform/FileSystem.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

using namespace quill;

struct LogFolder {
    std::string name;
    int files;
    std::uint64_t bytesPerFile;
    std::string path;
};

class BenchFolder {
public:
    BenchFolder()
    {
        const char* base = std::getenv("QUILLMARK_BENCH_DIR");
        std::string pattern = (base ? std::string(base) : std::filesystem::temp_directory_path().string())
                              + "/quillmark-bench-XXXXXX";
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make " + pattern);
        m_path = pattern;
    }
    ~BenchFolder() { std::filesystem::remove_all(m_path); }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

std::vector<std::string> logFiles(const std::string& folder)
{
    std::vector<std::string> paths;
    for (const DirectoryEntry& entry : findEntries(folder, "*.log"))
        paths.push_back(joinPath(folder, entry.name));
    return paths;
}

// The straightforward definition, file read whole and split into lines.
StatisticsCounts plainCounts(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    StatisticsCounts counts{};
    for (size_t begin = 0; begin <= text.size();) {
        size_t end = std::min(text.find_first_of("\r\n", begin), text.size());
        if (int row = statisticsRowOf(std::string_view(text).substr(begin, end - begin)))
            ++counts[statisticsCountIndex(row)];
        begin = end + 1;
    }
    return counts;
}

bool countsAreExact(const LogFolder& folder)
{
    const std::atomic<bool> never{false};
    for (const std::string& path : logFiles(folder.path)) {
        auto stats = countCrawlerVisits(path, never);
        if (!stats || !stats->counts || *stats->counts != plainCounts(path)) {
            std::fprintf(stderr, "counts differ from the plain definition: %s\n", path.c_str());
            return false;
        }
    }
    return true;
}

void runShell(benchmark::State& state, const std::string& command)
{
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError(("failed: " + command).c_str());
}

void countInProcess(benchmark::State& state, const std::string& folder)
{
    const std::atomic<bool> never{false};
    const std::vector<std::string> paths = logFiles(folder);
    for (auto _ : state)
        for (const std::string& path : paths)
            benchmark::DoNotOptimize(countCrawlerVisits(path, never));
}

// Keeps each benchmark's median real time so the ratios can be printed at the end.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    RatioReporter() : ConsoleReporter(OO_None) {}
    std::map<std::string, double> medianMs; // by "method/folder"
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "median")
                medianMs[run.run_name.function_name] = run.GetAdjustedRealTime();
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    BenchFolder root;
    std::vector<LogFolder> folders = {
        {"daily", 10, 10'500'000, root.path() + "/daily"},
        {"large", 3, 100u << 20, root.path() + "/large"},
    };
    const std::string tokens = "-e Googlebot -e Baiduspider -e Yahoo -e Sogou -e Sosospider+ -e YoudaoBot -e msnbot";
    const std::string cli = QUILLMARK_CLI_PATH;
    for (LogFolder& folder : folders) {
        std::filesystem::create_directory(folder.path);
        bench::writeCrawlerLogs(folder.path, folder.files, folder.bytesPerFile, 20090101);
        if (!countsAreExact(folder))
            return 1;
    }
    std::printf("counts equal the plain definition on every file\n");

    // Peak memory of one command run over the large folder, as GNU time reports it for its child.
    const std::string timed = "/usr/bin/time -f %M " + cli + " stats " + folders[1].path + " 2>&1 >/dev/null";
    if (FILE* pipe = popen(timed.c_str(), "r")) {
        long peakKiB = 0;
        if (std::fscanf(pipe, "%ld", &peakKiB) == 1)
            std::printf("peak resident memory of stats over %s: %ld KiB (largest file %llu KiB)\n",
                        folders[1].name.c_str(), peakKiB,
                        static_cast<unsigned long long>(folders[1].bytesPerFile >> 10));
        pclose(pipe);
    }

    // grep writes its counts to a file: with its output on /dev/null it would stop at the first match.
    const std::string grepOut = root.path() + "/grep.out";
    for (const LogFolder& folder : folders) {
        const std::string files = folder.path + "/*.log";
        const std::pair<const char*, std::string> commands[] = {
            {"cat", "cat " + files + " > /dev/null"},
            {"grep", "LC_ALL=C grep -c -i -F " + tokens + " " + files + " > " + grepOut},
            {"stats-cli", cli + " stats " + folder.path + " > /dev/null"},
        };
        for (const auto& [name, command] : commands)
            benchmark::RegisterBenchmark((std::string(name) + "/" + folder.name).c_str(), runShell, command)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->MinTime(1.0)
                ->Repetitions(5);
        benchmark::RegisterBenchmark(("stats-in-process/" + folder.name).c_str(), countInProcess, folder.path)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0)
            ->Repetitions(5);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const LogFolder& folder : folders) {
        auto median = [&](const char* name) { return reporter.medianMs[std::string(name) + "/" + folder.name]; };
        if (median("grep") > 0 && median("cat") > 0)
            std::printf("%s (%d files, %.0f MB): medians stats-cli %.1f ms, grep %.1f ms, cat %.1f ms; "
                        "stats-cli / grep = %.2f, stats-cli / cat = %.2f\n",
                        folder.name.c_str(), folder.files, folder.files * folder.bytesPerFile / 1e6,
                        median("stats-cli"), median("grep"), median("cat"), median("stats-cli") / median("grep"),
                        median("stats-cli") / median("cat"));
    }
    return 0;
}
