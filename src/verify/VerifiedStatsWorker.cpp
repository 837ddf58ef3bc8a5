#include "verify/VerifiedStatsWorker.h"

#include "crawlers/StatisticsLogs.h"
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
    m_worker.start([folder = std::move(logFolder), &stopRequested, options = std::move(options),
                    cachePath = std::move(cachePath),
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) mutable {
        VerdictCache cache(cachePath, options.now());
        std::string dnsNotice;
        forEachStatisticsLog(folder, stopRequested, abandon, [&](const std::string& path) {
            std::optional<FileVisits> visits = collectFileVisits(path, abandon);
            if (!visits)
                return false;
            CrawlerFileStats verified{visits->fileName, visits->sizeText, std::nullopt, visits->readError};
            CrawlerFileStats fakes = verified;
            if (visits->readError.empty()) {
                const VerificationRun run = verifyCrawlers(visits->requests, options, cache, abandon);
                if (run.cancelled)
                    return false;
                if (run.dnsDown && !options.dnsKnownDown) {
                    options.dnsKnownDown = true; // one silent server costs one wait, not one per file
                    dnsNotice = run.status.message();
                }
                const VerifiedCounts counts = countVerdicts(*visits, run.results);
                verified.counts = counts.verified;
                fakes.counts = counts.fake;
            }
            post([handlers, verified = std::move(verified), fakes = std::move(fakes)] {
                handlers->appendRows(verified, fakes);
            });
            return true;
        });
        cache.save(options.now()); // a cache that cannot be written costs the next run time, nothing else
        if (!abandon)
            post([handlers, dnsNotice] { handlers->finished(dnsNotice); });
    });
}

} // namespace quill
