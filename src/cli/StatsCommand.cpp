// quillmarkbox-cli stats: the crawler statistics without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "crawlers/CrawlerStatistics.h"
#include "crawlers/CrawlerStatsWorker.h"
#include "crawlers/StatisticsCsv.h"
#include "logs/RegistryVisits.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "logsource/LogFiles.h"
#include "platform/QueueDispatcher.h"
#include "verify/LogVerification.h"

#include <charconv>
#include <cstdio>
#include <optional>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli stats [--csv] [--verify [--cache FILE] [--lists-from DIR]] [--raw] FOLDER\n"
    "       quillmarkbox-cli stats --by group|crawler [--top N] [--group GROUP]... [--csv] [--raw] FOLDER";

constexpr size_t kDefaultTopCount = 10;

// One table row: TAB-separated printable fields, or a CSV line.
void printRow(CliOutput& out, const std::vector<std::string>& texts, bool csv)
{
    if (csv) {
        std::string line;
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i > 0)
                line += ',';
            appendCsvField(line, texts[i]);
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

// The CSV header of the verified statistics: name, size, then each engine's verified and fake
// counts ("百度 已验证" ... "百度 伪装" ...).
std::string verifiedStatisticsCsvHeader()
{
    const auto& columns = statisticsListColumns();
    std::vector<std::string> captions = {columns[0].caption, columns[1].caption};
    for (const char* kind : {"已验证", "伪装"})
        for (int i = 0; i < kStatisticsCountColumns; ++i)
            captions.push_back(columns[static_cast<size_t>(2 + i)].caption + " " + gbk(kind));
    std::string header(kUtf8Bom);
    for (size_t i = 0; i < captions.size(); ++i) {
        if (i > 0)
            header += ',';
        appendCsvField(header, captions[i]);
    }
    return header + "\r\n";
}

// Every log of the folder read once for its statistics lines' addresses, all addresses checked
// in one run, then per file: name, size, the seven verified counts and the seven fake counts.
int printVerifiedStatistics(CliArgs& args, const std::string& folder, const std::string& cachePath,
                            std::shared_ptr<const AddressLists> lists, bool csv)
{
    const std::string statisticsFolder = quill::statisticsFolder(folder);
    const std::atomic<bool> abandon{false};
    std::vector<FileVisits> files;
    std::vector<VerificationRequest> requests;
    for (const DirectoryEntry& entry : findLogEntries(statisticsFolder)) {
        if (entry.isDirectory)
            continue;
        FileVisits visits = *collectFileVisits(joinPath(statisticsFolder, entry.name), abandon);
        requests.insert(requests.end(), visits.requests.begin(), visits.requests.end());
        files.push_back(std::move(visits));
    }
    const VerificationRun run = runCrawlerChecks(args, requests, cachePath, std::move(lists));

    CliOutput out(args.raw());
    if (csv)
        out.plain(verifiedStatisticsCsvHeader());
    size_t offset = 0;
    for (const FileVisits& visits : files) {
        std::vector<std::string> texts = {visits.fileName, visits.sizeText};
        if (visits.readError.empty()) {
            const std::vector<VerificationResult> results(run.results.begin() + static_cast<std::ptrdiff_t>(offset),
                                                          run.results.begin() +
                                                              static_cast<std::ptrdiff_t>(offset + visits.requests.size()));
            const VerifiedCounts counts = countVerdicts(visits, results);
            for (auto count : counts.verified)
                texts.push_back(std::to_string(count));
            for (auto count : counts.fake)
                texts.push_back(std::to_string(count));
        } else {
            texts.resize(2 + 2 * kStatisticsCountColumns);
        }
        offset += visits.requests.size();
        printRow(out, texts, csv);
        if (!visits.readError.empty())
            std::fprintf(stderr, "%s: %s\n", printableField(visits.fileName, args.raw()).c_str(),
                         printableField(visits.readError, args.raw()).c_str());
    }
    return kExitOk;
}

// The "全部蜘蛛" view: every file counted by registry crawler, then the columns chosen over all of
// them, a caption line first.
int printRegistryStatistics(CliArgs& args, const std::string& folder, RegistryView view, size_t topCount,
                            const CrawlerSet& only, bool csv)
{
    const std::string statisticsFolder = quill::statisticsFolder(folder);
    const std::atomic<bool> abandon{false};
    std::vector<RegistryFileStats> rows;
    for (const DirectoryEntry& entry : findLogEntries(statisticsFolder))
        if (!entry.isDirectory)
            rows.push_back(*countRegistryVisits(joinPath(statisticsFolder, entry.name), abandon));
    const std::vector<RegistryColumn> columns = registryColumns(view, rows, topCount, only);
    CliOutput out(args.raw());
    if (csv)
        out.plain(std::string(kUtf8Bom));
    printRow(out, registryCaptions(columns), csv);
    for (const RegistryFileStats& row : rows) {
        printRow(out, registryRowTexts(row, columns), csv);
        if (!row.counts)
            std::fprintf(stderr, "%s: %s\n", printableField(row.fileName, args.raw()).c_str(),
                         printableField(row.readError, args.raw()).c_str());
    }
    return kExitOk;
}

} // namespace

int runStats(CliArgs& args)
{
    bool verify = false;
    bool csv = false;
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
            csv = true;
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
                                       only.value_or(allCrawlers()), csv);
    if (verify)
        return printVerifiedStatistics(args, folder, cachePath ? *cachePath : defaultVerdictCachePath(),
                                       crawlerAddressLists(args, listsFrom), csv);

    // The same run the "统计" button starts, with this thread as the user-interface thread.
    QueueDispatcher ui;
    CliOutput out(args.raw());
    if (csv)
        out.plain(statisticsCsvHeader());
    CrawlerStatsWorker::Handlers handlers{
        [&](const CrawlerFileStats& row) {
            const auto texts = statisticsRowTexts(row);
            printRow(out, std::vector<std::string>(texts.begin(), texts.end()), csv);
            out.flush();
            if (!row.counts)
                std::fprintf(stderr, "%s: %s\n", printableField(row.fileName, args.raw()).c_str(),
                             printableField(row.readError, args.raw()).c_str());
        },
        [] {},
    };
    CrawlerStatistics statistics(ui, std::move(handlers));
    statistics.start(folder);
    while (statistics.isCounting())
        ui.runOne(std::chrono::seconds(1));
    return kExitOk;
}

} // namespace quill::cli
