#include "crawlers/CrawlerStatsWorker.h"

#include "crawlers/CountCrawlerVisits.h"
#include "platform/FileSystem.h"
#include "platform/GbkText.h"

#include <algorithm>

namespace quill {

// The handlers live as long as the last task posted to the user-interface thread; `ownerAlive`
// is cleared by the worker's destructor, so a task that runs after it delivers nothing.
struct CrawlerStatsWorker::Delivery {
    explicit Delivery(Handlers h) : handlers(std::move(h)) {}
    const Handlers handlers;
    std::atomic<bool> ownerAlive{true};
};

std::string statisticsFolder(const std::string& logFolder)
{
    size_t length = std::min(logFolder.size(), kStatisticsFolderLimit);
    if (!isCharBoundary(logFolder, length))
        --length;
    return logFolder.substr(0, length);
}

CrawlerStatsWorker::CrawlerStatsWorker(std::string logFolder, const std::atomic<bool>& StatsStopRequested,
                                       UiDispatcher& ui, Handlers handlers)
    : m_stopRequested(StatsStopRequested),
      m_ui(ui),
      m_delivery(std::make_shared<Delivery>(std::move(handlers))),
      m_thread([this, folder = statisticsFolder(logFolder)] { run(folder); })
{
}

CrawlerStatsWorker::~CrawlerStatsWorker()
{
    m_abandon = true;
    m_thread.join();
    m_delivery->ownerAlive = false;
}

void CrawlerStatsWorker::run(std::string folder)
{
    for (const DirectoryEntry& entry : findEntries(folder, "*.log")) {
        if (m_abandon)
            return;
        if (entry.isDirectory)
            continue;
        std::optional<CrawlerFileStats> row = countCrawlerVisits(joinPath(folder, entry.name), m_abandon);
        if (!row)
            return;
        m_ui.post([delivery = m_delivery, row = std::move(*row)] {
            if (delivery->ownerAlive)
                delivery->handlers.appendRow(row);
        });
        if (m_stopRequested)
            break;
    }
    m_ui.post([delivery = m_delivery] {
        if (delivery->ownerAlive)
            delivery->handlers.finished();
    });
}

} // namespace quill
