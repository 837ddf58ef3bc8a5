#include "verify/VerifiedStatsWorker.h"

#include "crawlers/CrawlerStatsWorker.h"
#include "platform/FileSystem.h"
#include "logsource/LogFiles.h"
#include "verify/LogVerification.h"

#include <memory>

namespace quill {

VerifiedStatsWorker::VerifiedStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                         VerifierOptions options, std::string cachePath, UiDispatcher& ui,
                                         Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([folder = statisticsFolder(logFolder), &stopRequested, options = std::move(options),
                    cachePath = std::move(cachePath),
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) {
        VerdictCache cache(cachePath, options.now());
        for (const DirectoryEntry& entry : findLogEntries(folder)) {
            if (abandon)
                break;
            if (entry.isDirectory)
                continue;
            std::optional<FileVisits> visits = collectFileVisits(joinPath(folder, entry.name), abandon);
            if (!visits)
                break;
            CrawlerFileStats verified{visits->fileName, visits->sizeText, std::nullopt, visits->read};
            CrawlerFileStats fakes = verified;
            if (visits->read) {
                const VerificationRun run = verifyCrawlers(visits->requests, options, cache, abandon);
                if (run.cancelled)
                    break;
                const VerifiedCounts counts = countVerdicts(*visits, run.results);
                verified.counts = counts.verified;
                fakes.counts = counts.fake;
            }
            post([handlers, verified = std::move(verified), fakes = std::move(fakes)] {
                handlers->appendRows(verified, fakes);
            });
            if (stopRequested)
                break;
        }
        (void)cache.save(options.now()); // a cache that cannot be written costs the next run time, nothing else
        if (!abandon)
            post([handlers] { handlers->finished(); });
    });
}

} // namespace quill
