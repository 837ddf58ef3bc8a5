// quillmarkbox-cli verify: the crawler check of one address.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "cli/CrawlerChecks.h"
#include "crawlers/CrawlerRegistry.h"
#include "platform/CodePage.h"
#include "verify/IpAddress.h"

#include <cstdio>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage = "quillmarkbox-cli verify [--lists-from DIR] [--raw] ADDRESS CRAWLER";

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
    std::optional<std::string> listsFrom;
    if (!args.atEnd() && args.peek() == "--lists-from") {
        args.take();
        if (args.atEnd())
            return usageError(kUsage);
        listsFrom = args.take();
    }
    const std::vector<std::string> rest = args.rest();
    if (rest.size() != 2 || rest[0].starts_with("--") || rest[1].starts_with("--"))
        return usageError(kUsage);
    const auto address = parseIpAddress(rest[0]);
    if (!address) {
        std::fprintf(stderr, "not an IP address: %s\n", rest[0].c_str());
        return kExitFailure;
    }
    const CrawlerId crawler = crawlerByName(args.toGbk(rest[1]));
    if (crawler == kNoCrawler) {
        std::fprintf(stderr, "unknown crawler: %s\n", rest[1].c_str());
        return kExitUsage;
    }
    // Asked afresh every time (no cache), so the names are shown.
    const auto lists = crawlerAddressLists(args, listsFrom);
    const VerificationRun run = runCrawlerChecks(args, {{rest[0], crawler}}, "", lists);
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
    out.flush();
    if (result.list >= 0)
        if (const AddressList* list = lists->find(result.list))
            failure(args, gbk("依据 ") + publishedLists()[static_cast<size_t>(result.list)].fileName + gbk("（") +
                              dateText(list->date) + (list->isStale(secondsNow()) ? gbk("，已过期") : "") + gbk("）"));
    return kExitOk;
}

} // namespace quill::cli
