#include "verify/VerifiedStatsWorker.h"

#include "crawlers/StatisticsLogs.h"
#include "verify/LogVerification.h"
#include "verify/UncheckedNotice.h"

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
        VerifiedStatsProgress progress;
        auto tell = [&] {
            if (handlers->progress)
                post([handlers, progress] { handlers->progress(progress); });
        };
        size_t unchecked = 0;
        bool outOfReach = false;
        std::string setupProblem; // a server setting that could not be used, said once
        forEachStatisticsLog(
            folder, stopRequested, abandon,
            [&](const std::string& path) {
                ++progress.file;
                progress.checked = progress.toCheck = 0;
                tell();
                std::optional<FileVisits> visits = collectFileVisits(path, abandon);
                if (!visits)
                    return false;
                VerifiedFileStats row{visits->fileName, visits->sizeText, std::nullopt, visits->read};
                if (visits->read) {
                    const VerificationRun run =
                        verifyCrawlers(visits->requests, options, cache, abandon, [&](size_t done, size_t total) {
                            progress.checked = done;
                            progress.toCheck = total;
                            tell();
                        });
                    if (run.cancelled)
                        return false;
                    if (run.dnsDown)
                        options.dnsKnownDown = true; // one silent server costs one wait, not one per file
                    else if (!run.status.ok() && setupProblem.empty())
                        setupProblem = run.status.message();
                    unchecked += uncheckedCount(run);
                    outOfReach = outOfReach || dnsUnreachable(run);
                    row.counts = countVerdicts(*visits, run.results);
                }
                post([handlers, row = std::move(row)] { handlers->appendRow(row); });
                return true;
            },
            [&](size_t logs) { progress.files = logs; });
        (void)cache.save(options.now()); // a cache that cannot be written costs the next run time, nothing else
        std::string notice = uncheckedNotice(unchecked, outOfReach);
        if (!setupProblem.empty())
            notice += (notice.empty() ? "" : "   ") + setupProblem;
        if (!abandon)
            post([handlers, notice] { handlers->finished(notice); });
    });
}

} // namespace quill
