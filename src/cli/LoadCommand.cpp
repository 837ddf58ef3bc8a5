// quillmarkbox-cli load: the log view without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "cli/JsonLinesOutput.h"
#include "cli/LoadFollow.h"
#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/LogAnalysis.h"
#include "logs/RecordColumns.h"
#include "logs/RecordsCsv.h"
#include "logs/RowTexts.h"
#include "platform/CodePage.h"
#include "platform/OrderedChunks.h"
#include "verify/LogVerification.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <map>
#include <optional>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli load [--on NAME]... [--off NAME]... [--search TEXT | --search-encoded TEXT] [--group GROUP]... [--crawler NAME]... "
    "[--click K]... [--count | --csv | --csv-raw | --follow | --jsonl [--follow]] [--verify [--cache FILE] [--lists-from DIR]] [--raw] "
    "PATH [PATH...]";

constexpr size_t kRowsPerChunk = 8192;

bool* filterBox(FilterSnapshot& filters, const std::string& name)
{
    const std::map<std::string, bool*> boxes = {
        {"images", &filters.images},   {"audio", &filters.audio},         {"status200", &filters.status200},
        {"spiders", &filters.spiders}, {"baidu", &filters.baidu},         {"google", &filters.google},
        {"soso", &filters.soso},       {"yahoo", &filters.yahoo},         {"sogou", &filters.sogou},
        {"msn", &filters.msn},         {"youdao", &filters.youdao},       {"own-xmlhttp", &filters.ownXmlHttp},
        {"no-spiders", &filters.noSpiders},
    };
    auto it = boxes.find(name);
    return it == boxes.end() ? nullptr : it->second;
}

// The one crawler `id` names; nothing for no crawler.
std::optional<CrawlerSet> crawlerSetOf(CrawlerId id)
{
    if (id == kNoCrawler)
        return std::nullopt;
    CrawlerSet set;
    set.set(id);
    return set;
}

bool parseColumn(const std::string& text, int& column)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), column);
    return error == std::errc() && end == text.data() + text.size() && column >= 0 && column < kColumnCount;
}

// Tests hold the command between the load and the printing: with QUILLMARK_HOLD_BEFORE_ROWS naming
// a pipe, it waits there until the pipe's writer closes it.
void holdBeforeRows()
{
    if (const char* pipe = std::getenv("QUILLMARK_HOLD_BEFORE_ROWS"))
        std::ifstream(pipe).ignore(std::numeric_limits<std::streamsize>::max());
}

// Rows of a file that changed after the load must not get out: each chunk is checked after its
// texts were taken and before it is written.
Status confirmLoadedBytes(const RecordStore& store)
{
    return store.showsLoadedBytes() ? Status() : Status::failure(fileChangedText());
}

// Every row in display order from `firstRow` on, the 17 texts joined by TAB, then the verdict
// when `verdicts` is given; chunks formatted on both cores.
Status printRows(const RecordStore& store, const std::vector<Verdict>* verdicts, bool raw, size_t firstRow = 0)
{
    widenStdoutPipe();
    // A crawler's name is printed the same way in every row it names.
    std::array<std::string, kCrawlerRowCount + 1> crawlerNames;
    for (int row = 1; row <= kCrawlerRowCount; ++row)
        crawlerNames[static_cast<size_t>(row)] = printableField(crawlerDisplayName(row), raw);
    OrderedChunks job;
    job.format = [&](size_t index, std::string& out) {
        const size_t begin = firstRow + index * kRowsPerChunk;
        const size_t end = std::min<size_t>(store.count(), begin + kRowsPerChunk);
        RowsText text;
        text.take(store, begin, end);
        RowCells cells;
        for (size_t row = begin; row < end; ++row) {
            rowCells(store, static_cast<std::uint32_t>(row), cells, &text);
            out.append(cells.texts[0]);
            for (size_t column = 1; column < kColumnCount; ++column) {
                out += '\t';
                if (column == kColUserAgent && cells.crawlerRow != 0)
                    out.append(crawlerNames[static_cast<size_t>(cells.crawlerRow)]);
                else if (cells.printsAsIs(column))
                    out.append(cells.texts[column]);
                else
                    appendPrintable(out, cells.texts[column], raw);
            }
            if (verdicts) {
                out += '\t';
                appendPrintable(out, verdictText((*verdicts)[store.recordAt(static_cast<std::uint32_t>(row))]), raw);
            }
            out += '\n';
        }
    };
    job.deliver = [&store](const std::string& chunk) {
        if (Status rows = confirmLoadedBytes(store); !rows.ok())
            return rows;
        return writeStdout(chunk);
    };
    return runOrderedChunks((store.count() - std::min<size_t>(firstRow, store.count()) + kRowsPerChunk - 1) / kRowsPerChunk,
                            job);
}

Status printCsv(const RecordStore& store, const std::vector<Verdict>* verdicts, CsvCells cells)
{
    widenStdoutPipe();
    ShownList shown;
    if (verdicts) {
        shown.extraCaption = gbk("验证");
        for (Verdict verdict : *verdicts)
            shown.extraTexts.push_back(verdictText(verdict));
    }
    return produceCsv(recordsCsv(store, std::move(shown), cells), writeStdout);
}

} // namespace

int runLoad(CliArgs& args)
{
    FilterSnapshot filters;
    std::vector<int> clicks;
    std::vector<std::string> paths;
    bool countOnly = false;
    bool csv = false;
    bool jsonl = false;
    bool follow = false;
    CsvCells cells = CsvCells::Neutralised;
    bool verify = false;
    std::optional<std::string> cachePath;
    std::optional<std::string> listsFrom;
    while (!args.atEnd()) {
        std::string arg = args.take();
        if (arg == "--count") {
            countOnly = true;
        } else if (arg == "--csv") {
            csv = true;
        } else if (arg == "--jsonl") {
            jsonl = true;
        } else if (arg == "--follow") {
            follow = true;
        } else if (arg == "--csv-raw") {
            csv = true;
            cells = CsvCells::Verbatim;
        } else if (arg == "--verify") {
            verify = true;
        } else if (arg == "--cache" || arg == "--lists-from") {
            if (args.atEnd())
                return usageError(kUsage);
            (arg == "--cache" ? cachePath : listsFrom) = args.take();
        } else if (arg == "--group" || arg == "--crawler") {
            if (args.atEnd())
                return usageError(kUsage);
            const std::string name = args.take();
            std::optional<CrawlerSet> crawlers = arg == "--group" ? crawlersOfGroup(args.toGbk(name))
                                                                  : crawlerSetOf(crawlerByName(args.toGbk(name)));
            if (!crawlers)
                return usageError(kUsage);
            filters.onlyRegistryCrawlers = true;
            filters.registryCrawlers |= *crawlers;
        } else if (arg == "--on" || arg == "--off" || arg == "--search" || arg == "--search-encoded"
                   || arg == "--click") {
            if (args.atEnd())
                return usageError(kUsage);
            std::string value = args.take();
            if (arg == "--search" || arg == "--search-encoded") {
                // One search text: the last of the two options given holds.
                filters.search = args.toGbk(value);
                filters.searchEncoded = arg == "--search-encoded";
            } else if (arg == "--click") {
                int column = 0;
                if (!parseColumn(value, column))
                    return usageError(kUsage);
                clicks.push_back(column);
            } else if (bool* box = filterBox(filters, value)) {
                *box = arg == "--on";
            } else {
                return usageError(kUsage);
            }
        } else if (arg.starts_with("--")) {
            return usageError(kUsage);
        } else {
            paths.push_back(arg);
        }
    }
    if (paths.empty() || countOnly + csv + jsonl > 1 || ((cachePath || listsFrom) && !verify))
        return usageError(kUsage);
    // Rows printed as they are written stand in file order, without a verdict still to come.
    if (follow && (countOnly || csv || verify || !clicks.empty()))
        return usageError(kUsage);

    LogAnalysis analysis;
    LogAnalysis::LoadResult result;
    for (const std::string& path : paths) {
        result = analysis.load(path, filters, follow && &path == &paths.back());
        if (!result.outcome.ok())
            return failure(args, result.outcome.status().message());
        if (!result.read()) {
            std::fprintf(stderr, "no such file: %s\n", path.c_str());
            return kExitFailure;
        }
    }
    holdBeforeRows();
    for (int column : clicks)
        if (Status sorted = analysis.clickColumn(column); !sorted)
            return failure(args, sorted.message());

    const RecordStore& store = analysis.store();
    const std::string summary = printableField(summaryLine(result.elapsedMs, store.count()), args.raw());
    if (countOnly) {
        std::printf("%s\n", summary.c_str());
        return kExitOk;
    }
    std::vector<Verdict> verdicts;
    if (verify) {
        const StoreRequests requests = storeRequests(store);
        const VerificationRun run = runCrawlerChecks(args, requests.requests,
                                                     cachePath ? *cachePath : defaultVerdictCachePath(),
                                                     crawlerAddressLists(args, listsFrom));
        verdicts = recordVerdicts(requests, run);
    }
    const std::vector<Verdict>* verdictColumn = verify ? &verdicts : nullptr;
    const Status printed = jsonl ? printJsonLines(store, verdictColumn)
                           : csv ? printCsv(store, verdictColumn, cells)
                                 : printRows(store, verdictColumn, args.raw());
    if (!printed.ok())
        return failure(args, printed.message());
    if (follow)
        return followLoad(args, analysis, result.elapsedMs, [&](size_t firstRow) {
            return jsonl ? printJsonLines(store, nullptr, firstRow) : printRows(store, nullptr, args.raw(), firstRow);
        });
    std::fprintf(stderr, "%s\n", summary.c_str());
    return kExitOk;
}

} // namespace quill::cli
