// The "蜘蛛来访统计" page timed from the press of "统计" until it is enabled again (every row in
// the list and the chart), against "quillmarkbox-cli stats" over the same folder in the same run.

#include "CrawlerLogGenerator.h"

#include "gui/StatsPage.h"
#include "gui/QtGbk.h"

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace {

using namespace quill;

void runPage(benchmark::State& state, const std::string& folder, int expectedRows)
{
    StatsPage::Options options;
    options.logFolder = [&] { return fromPath(folder); };
    StatsPage page(std::move(options));
    page.resize(780, 480);
    page.show();
    auto* count = page.findChild<QPushButton*>(QStringLiteral("Button1"));
    for (auto _ : state) {
        count->click();
        // Rows arrive as posted events, which wake this loop; no polling interval adds to the time.
        while (!count->isEnabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        QCoreApplication::processEvents(); // the list and the chart paint what came
    }
    if (page.findChild<QTableWidget*>(QStringLiteral("lv1"))->rowCount() != expectedRows)
        state.SkipWithError("wrong row count");
}

void runCli(benchmark::State& state, const std::string& command)
{
    for (auto _ : state)
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("command failed");
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    const char* base = std::getenv("QUILLMARK_BENCH_DIR");
    std::string root = (base ? std::string(base) : std::filesystem::temp_directory_path().string()) +
                       "/quillmark-pagebench-XXXXXX";
    if (!mkdtemp(root.data()))
        throw std::runtime_error("cannot make " + root);

    struct Folder {
        const char* name;
        int files;
        std::uint64_t bytesPerFile;
    };
    // A month of small days shows what each row costs the page; ten real days what the disk costs.
    for (const Folder& folder : {Folder{"daily", 10, 10'500'000}, Folder{"many", 1000, 20'000}}) {
        const std::string path = root + "/" + folder.name;
        std::filesystem::create_directory(path);
        bench::writeCrawlerLogs(path, folder.files, folder.bytesPerFile, 20090101);
        benchmark::RegisterBenchmark((std::string("stats-page/") + folder.name).c_str(), runPage, path, folder.files)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0)
            ->Repetitions(5);
        benchmark::RegisterBenchmark((std::string("stats-cli/") + folder.name).c_str(), runCli,
                                     std::string(QUILLMARK_CLI_PATH) + " stats " + path + " > /dev/null")
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0)
            ->Repetitions(5);
    }
    benchmark::RunSpecifiedBenchmarks();
    std::filesystem::remove_all(root);
    return 0;
}
