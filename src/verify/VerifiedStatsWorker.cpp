#include "verify/VerifiedStatsWorker.h"

#include "crawlers/CrawlerStatsWorker.h"
#include "platform/FileSystem.h"
#include "verify/LogVerification.h"

namespace quill {

struct VerifiedStatsWorker::Delivery {
    explicit Delivery(Handlers h) : handlers(std::move(h)) {}
    const Handlers handlers;
    std::atomic<bool> ownerAlive{true};
};

VerifiedStatsWorker::VerifiedStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                         VerifierOptions options, std::string cachePath, UiDispatcher& ui,
                                         Handlers handlers)
    : m_stopRequested(stopRequested),
      m_ui(ui),
      m_delivery(std::make_shared<Delivery>(std::move(handlers))),
      m_thread([this, folder = statisticsFolder(logFolder), options = std::move(options),
                cachePath = std::move(cachePath)]() mutable { run(folder, std::move(options), std::move(cachePath)); })
{
}

VerifiedStatsWorker::~VerifiedStatsWorker()
{
    m_delivery->ownerAlive = false;
    m_abandon = true;
    m_thread.join();
}

void VerifiedStatsWorker::run(std::string folder, VerifierOptions options, std::string cachePath)
{
    VerdictCache cache(cachePath, options.now());
    for (const DirectoryEntry& entry : findEntries(folder, "*.log")) {
        if (m_abandon)
            break;
        if (entry.isDirectory)
            continue;
        std::optional<FileVisits> visits = collectFileVisits(joinPath(folder, entry.name), m_abandon);
        if (!visits)
            break;
        CrawlerFileStats verified{visits->fileName, visits->sizeText, std::nullopt, visits->readError};
        CrawlerFileStats fakes = verified;
        if (visits->readError.empty()) {
            const VerificationRun run = verifyCrawlers(visits->requests, options, cache, m_abandon);
            if (run.cancelled)
                break;
            const VerifiedCounts counts = countVerdicts(*visits, run.results);
            verified.counts = counts.verified;
            fakes.counts = counts.fake;
        }
        m_ui.post([delivery = m_delivery, verified = std::move(verified), fakes = std::move(fakes)] {
            if (delivery->ownerAlive)
                delivery->handlers.appendRows(verified, fakes);
        });
        if (m_stopRequested)
            break;
    }
    cache.save(options.now()); // a cache that cannot be written costs the next run time, nothing else
    if (m_abandon)
        return;
    m_ui.post([delivery = m_delivery] {
        if (delivery->ownerAlive)
            delivery->handlers.finished();
    });
}

} // namespace quill
