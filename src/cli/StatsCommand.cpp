// quillmarkbox-cli stats: the crawler statistics without the window.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "crawlers/CrawlerStatistics.h"
#include "platform/QueueDispatcher.h"

#include <cstdio>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage = "quillmarkbox-cli stats [--raw] FOLDER";

} // namespace

int runStats(CliArgs& args)
{
    if (args.atEnd() || args.peek().starts_with("--"))
        return usageError(kUsage);
    const std::string folder = args.take();
    if (!args.atEnd())
        return usageError(kUsage);

    // The same run the "统计" button starts, with this thread as the user-interface thread.
    QueueDispatcher ui;
    CliOutput out(args.raw());
    CrawlerStatsWorker::Handlers handlers{
        [&](const CrawlerFileStats& row) {
            const auto texts = statisticsRowTexts(row);
            for (size_t i = 0; i < texts.size(); ++i) {
                if (i > 0)
                    out.plain("\t");
                out.field(texts[i]);
            }
            out.plain("\n");
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
