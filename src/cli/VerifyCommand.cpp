// quillmarkbox-cli verify: the crawler check of one address.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "verify/CrawlerDomains.h"
#include "verify/IpAddress.h"

#include <cstdio>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage = "quillmarkbox-cli verify [--raw] ADDRESS CRAWLER";

std::string joined(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "" : " ") + item;
    return text;
}

} // namespace

int runVerify(CliArgs& args)
{
    const std::vector<std::string> rest = args.rest();
    if (rest.size() != 2 || rest[0].starts_with("--") || rest[1].starts_with("--"))
        return usageError(kUsage);
    if (!parseIpAddress(rest[0])) {
        std::fprintf(stderr, "not an IP address: %s\n", rest[0].c_str());
        return kExitFailure;
    }
    const int row = crawlerRowByName(args.toGbk(rest[1]));
    if (row == 0) {
        std::fprintf(stderr, "unknown crawler: %s\n", rest[1].c_str());
        return kExitUsage;
    }
    // Asked afresh every time, so the names are shown.
    const VerificationRun run = runCrawlerChecks(args, {{rest[0], row}}, "");
    if (!run.status.ok())
        return kExitFailure;
    const VerificationResult& result = run.results.front();
    CliOutput out(args.raw());
    out.field(verdictText(result.verdict));
    out.plain("\t");
    out.field(joined(result.names));
    out.plain("\t");
    out.field(joined(result.addresses));
    out.plain("\n");
    return kExitOk;
}

} // namespace quill::cli
