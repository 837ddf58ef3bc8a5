#include "crawlers/CrawlerStatsWorker.h"

#include "crawlers/CountCrawlerVisits.h"

namespace quill {

CrawlerStatsWorker::CrawlerStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                       UiDispatcher& ui, Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([folder = std::move(logFolder), &stopRequested,
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) {
        const bool ended = forEachStatisticsLog(folder, stopRequested, abandon, [&](const std::string& path) {
            std::optional<CrawlerFileStats> row = countCrawlerVisits(path, abandon);
            if (!row)
                return false;
            post([handlers, row = std::move(*row)] { handlers->appendRow(row); });
            return true;
        });
        if (ended)
            post([handlers] { handlers->finished(); });
    });
}

} // namespace quill
