// quillmarkbox-cli load: the log view without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "logs/LogAnalysis.h"
#include "logs/RowTexts.h"
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
    "quillmarkbox-cli load [--on NAME]... [--off NAME]... [--search TEXT] [--click K]... [--verify [--cache FILE]] "
    "[--raw] PATH [PATH...]";

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

bool parseColumn(const std::string& text, int& column)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), column);
    return error == std::errc() && end == text.data() + text.size() && column >= 0 && column < kColumnCount;
}

// Rows are checked against the file once per batch of about this many bytes, before printing.
constexpr size_t kBatchBytes = size_t(1) << 20;

// Tests hold the command between the load and the printing: with QUILLMARK_HOLD_BEFORE_ROWS naming
// a pipe, it waits there until the pipe's writer closes it.
void holdBeforeRows()
{
    if (const char* pipe = std::getenv("QUILLMARK_HOLD_BEFORE_ROWS"))
        std::ifstream(pipe).ignore(std::numeric_limits<std::streamsize>::max());
}

} // namespace

int runLoad(CliArgs& args)
{
    FilterSnapshot filters;
    std::vector<int> clicks;
    std::vector<std::string> paths;
    bool verify = false;
    std::optional<std::string> cachePath;
    while (!args.atEnd()) {
        std::string arg = args.take();
        if (arg == "--verify") {
            verify = true;
        } else if (arg == "--cache") {
            if (args.atEnd())
                return usageError(kUsage);
            cachePath = args.take();
        } else if (arg == "--on" || arg == "--off" || arg == "--search" || arg == "--click") {
            if (args.atEnd())
                return usageError(kUsage);
            std::string value = args.take();
            if (arg == "--search") {
                filters.search = args.toGbk(value);
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
    if (paths.empty() || (cachePath && !verify))
        return usageError(kUsage);

    LogAnalysis analysis;
    LogAnalysis::LoadResult result;
    for (const std::string& path : paths) {
        result = analysis.load(path, filters);
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

    // Each batch is checked after its texts were taken, so no row of a changed file gets out.
    const RecordStore& store = analysis.store();
    std::vector<Verdict> verdicts;
    if (verify) {
        const StoreRequests requests = storeRequests(store);
        const VerificationRun run =
            runCrawlerChecks(args, requests.requests, cachePath ? *cachePath : defaultVerdictCachePath());
        verdicts = recordVerdicts(requests, run);
    }
    const std::uint32_t count = store.count();
    CliOutput out(args.raw());
    std::string batch;
    for (std::uint32_t row = 0; row < count; ++row) {
        batch += std::to_string(row);
        for (int column = 1; column < kColumnCount; ++column) {
            batch += '\t';
            batch += printableField(cellText(store, row, column), args.raw());
        }
        if (verify) {
            batch += '\t';
            batch += printableField(verdictText(verdicts[store.recordAt(row)]), args.raw());
        }
        batch += '\n';
        if (batch.size() >= kBatchBytes || row + 1 == count) {
            if (Status rows = analysis.confirmRows(); !rows)
                return failure(args, rows.message());
            out.plain(batch);
            batch.clear();
        }
    }
    out.flush();
    std::fprintf(stderr, "%s\n", printableField(summaryLine(result.elapsedMs, store.count()), args.raw()).c_str());
    return kExitOk;
}

} // namespace quill::cli
