// quillmarkbox-cli stats: the crawler statistics without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "crawlers/CrawlerStatistics.h"
#include "crawlers/CrawlerStatsWorker.h"
#include "crawlers/StatisticsCsv.h"
#include "crawlers/StatisticsLogs.h"
#include "logs/RegistryVisits.h"
#include "platform/CodePage.h"
#include "platform/QueueDispatcher.h"
#include "verify/LogVerification.h"
#include "verify/VerifiedStatistics.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli stats [--csv | --csv-raw] [--verify [--cache FILE] [--lists-from DIR]] [--raw] FOLDER\n"
    "       quillmarkbox-cli stats --by group|crawler [--top N] [--group GROUP]... [--csv | --csv-raw] [--raw] FOLDER";

constexpr size_t kDefaultTopCount = 10;

// How the table is printed: TAB-separated printable fields, or CSV lines.
struct TableForm {
    bool csv = false;
    CsvCells cells = CsvCells::Neutralised;
};

void printRow(CliOutput& out, const std::vector<std::string>& texts, TableForm form)
{
    if (form.csv) {
        std::string line;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i > 0)
                line += ',';
            appendCsvField(line, texts[i], form.cells);
        }
        out.plain(line + "\r\n");
        return;
    }
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out.plain("\t");
        out.field(texts[i]);
    }
    out.plain("\n");
}

// Every log of the folder read once for its statistics lines' addresses, all addresses checked
// in one run, then per file: name, size, and the seven verified, fake and undecided counts.
int printVerifiedStatistics(CliArgs& args, const std::string& folder, const std::string& cachePath,
                            std::shared_ptr<const AddressLists> lists, TableForm form)
{
    const std::atomic<bool> never{false};
    std::vector<FileVisits> files;
    std::vector<VerificationRequest> requests;
    forEachStatisticsLog(folder, never, never, [&](const std::string& path) {
        FileVisits visits = *collectFileVisits(path, never);
        requests.insert(requests.end(), visits.requests.begin(), visits.requests.end());
        files.push_back(std::move(visits));
        return true;
    });
    const VerificationRun run = runCrawlerChecks(args, requests, cachePath, std::move(lists));

    CliOutput out(args.raw());
    if (form.csv) {
        std::string header(kUtf8Bom);
        out.plain(header);
        printRow(out, verifiedStatisticsCaptions(), form);
    }
    size_t offset = 0;
    bool anyUncounted = false;
    for (const FileVisits& visits : files) {
        VerifiedFileStats row{visits.fileName, visits.sizeText, std::nullopt, visits.read};
        if (visits.read) {
            const std::vector<VerificationResult> results(run.results.begin() + static_cast<std::ptrdiff_t>(offset),
                                                          run.results.begin() +
                                                              static_cast<std::ptrdiff_t>(offset + visits.requests.size()));
            row.counts = countVerdicts(visits, results);
        }
        offset += visits.requests.size();
        printRow(out, verifiedStatisticsTexts(row), form);
        if (!visits.read) {
            anyUncounted = true;
            std::fprintf(stderr, "%s: %s\n", printableField(visits.fileName, args.raw()).c_str(),
                         printableField(visits.read.message(), args.raw()).c_str());
        }
    }
    return anyUncounted ? kExitFailure : kExitOk;
}

// The "全部蜘蛛" view: every file counted by registry crawler, then the columns chosen over all of
// them, a caption line first.
int printRegistryStatistics(CliArgs& args, const std::string& folder, RegistryView view, size_t topCount,
                            const CrawlerSet& only, TableForm form)
{
    const std::atomic<bool> never{false};
    std::vector<RegistryFileStats> rows;
    forEachStatisticsLog(folder, never, never, [&](const std::string& path) {
        rows.push_back(*countRegistryVisits(path, never));
        return true;
    });
    const std::vector<RegistryColumn> columns = registryColumns(view, rows, topCount, only);
    CliOutput out(args.raw());
    if (form.csv)
        out.plain(std::string(kUtf8Bom));
    printRow(out, registryCaptions(columns), form);
    bool anyUncounted = false;
    for (const RegistryFileStats& row : rows) {
        printRow(out, registryRowTexts(row, columns), form);
        if (!row.counts) {
            anyUncounted = true;
            std::fprintf(stderr, "%s: %s\n", printableField(row.fileName, args.raw()).c_str(),
                         printableField(row.read.message(), args.raw()).c_str());
        }
    }
    return anyUncounted ? kExitFailure : kExitOk;
}

} // namespace

int runStats(CliArgs& args)
{
    bool verify = false;
    TableForm form;
    std::optional<std::string> cachePath;
    std::optional<std::string> listsFrom;
    std::optional<RegistryView> view;
    std::optional<size_t> topCount;
    std::optional<CrawlerSet> only;
    while (!args.atEnd() && args.peek().starts_with("--")) {
        const std::string option = args.take();
        if (option == "--verify") {
            verify = true;
        } else if (option == "--csv") {
            form.csv = true;
        } else if (option == "--csv-raw") {
            form = {true, CsvCells::Verbatim};
        } else if (option == "--cache" && !args.atEnd()) {
            cachePath = args.take();
        } else if (option == "--lists-from" && !args.atEnd()) {
            listsFrom = args.take();
        } else if (option == "--by" && !args.atEnd()) {
            const std::string by = args.take();
            if (by != "group" && by != "crawler")
                return usageError(kUsage);
            view = by == "group" ? RegistryView::Groups : RegistryView::Crawlers;
        } else if (option == "--top" && !args.atEnd()) {
            const std::string text = args.take();
            size_t count = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
            if (error != std::errc() || end != text.data() + text.size() || count == 0)
                return usageError(kUsage);
            topCount = count;
        } else if (option == "--group" && !args.atEnd()) {
            const std::optional<CrawlerSet> group = crawlersOfGroup(args.toGbk(args.take()));
            if (!group)
                return usageError(kUsage);
            only = only.value_or(CrawlerSet{}) | *group;
        } else {
            return usageError(kUsage);
        }
    }
    const bool registryOptions = topCount || only;
    if (args.atEnd() || ((cachePath || listsFrom) && !verify) || (view && verify) || (registryOptions && !view) ||
        (topCount && view != RegistryView::Crawlers))
        return usageError(kUsage);
    const std::string folder = args.take();
    if (!args.atEnd())
        return usageError(kUsage);
    if (view)
        return printRegistryStatistics(args, folder, *view, topCount.value_or(kDefaultTopCount),
                                       only.value_or(allCrawlers()), form);
    if (verify)
        return printVerifiedStatistics(args, folder, cachePath ? *cachePath : defaultVerdictCachePath(),
                                       crawlerAddressLists(args, listsFrom), form);

    // The same run the "统计" button starts, with this thread as the user-interface thread.
    QueueDispatcher ui;
    CliOutput out(args.raw());
    if (form.csv)
        out.plain(statisticsCsvHeader());
    bool anyUncounted = false; // a damaged archive or an unreadable file: its row, then exit 1
    CrawlerStatsWorker::Handlers handlers{
        [&](const CrawlerFileStats& row) {
            const auto texts = statisticsRowTexts(row);
            printRow(out, std::vector<std::string>(texts.begin(), texts.end()), form);
            out.flush();
            anyUncounted = anyUncounted || !row.counts;
            if (!row.counts)
                std::fprintf(stderr, "%s: %s\n", printableField(row.fileName, args.raw()).c_str(),
                             printableField(row.read.message(), args.raw()).c_str());
        },
        [] {},
    };
    CrawlerStatistics statistics(ui, std::move(handlers));
    statistics.start(folder);
    while (statistics.isCounting())
        ui.runOne(std::chrono::seconds(1));
    return anyUncounted ? kExitFailure : kExitOk;
}

} // namespace quill::cli
