// quillmarkbox-cli report: the crawl ledger's figures over a range of days as one HTML page to
// share, or as one JSON document.

#include "cli/Commands.h"
#include "ledger/LedgerDays.h"
#include "report/ReportHtml.h"
#include "report/ReportJson.h"
#include "settings/SettingsFile.h"

#include <cstdio>
#include <optional>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli report [--from DATE] [--to DATE] [--ledger FILE] [--json] -o FILE|-";

} // namespace

int runReport(CliArgs& args)
{
    std::optional<std::string> ledgerPath, output;
    DateRange range;
    bool json = false;
    while (!args.atEnd()) {
        const std::string arg = args.take();
        const bool hasValue = !args.atEnd();
        if (arg == "--ledger" && hasValue) {
            ledgerPath = args.take();
        } else if (arg == "-o" && hasValue) {
            output = args.take();
        } else if ((arg == "--from" || arg == "--to") && hasValue) {
            const std::optional<int> day = parseLogDay(args.take());
            if (!day)
                return usageError(kUsage);
            (arg == "--from" ? range.from : range.to) = *day;
        } else if (arg == "--json") {
            json = true;
        } else {
            return usageError(kUsage);
        }
    }
    if (!output)
        return usageError(kUsage);
    Result<std::unique_ptr<LedgerViews>> views =
        LedgerViews::open(ledgerPath ? *ledgerPath : SettingsFile(SettingsFile::defaultPath()).ledgerPath());
    if (!views.ok())
        return failure(args, views.status().message());
    const Result<CrawlReport> report = buildCrawlReport(*views.value(), range);
    if (!report.ok())
        return failure(args, report.status().message());
    const std::string text = json ? reportJson(report.value()) : reportHtml(report.value());
    if (*output == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        return std::fflush(stdout) == 0 ? kExitOk : kExitFailure;
    }
    if (Status saved = saveReport(*output, text); !saved.ok())
        return failure(args, saved.message());
    return kExitOk;
}

} // namespace quill::cli
