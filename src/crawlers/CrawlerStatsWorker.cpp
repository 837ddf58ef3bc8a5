#include "crawlers/CrawlerStatsWorker.h"

#include "crawlers/CountCrawlerVisits.h"
#include "logsource/LogFiles.h"
#include "platform/GbkText.h"

#include <algorithm>

namespace quill {

std::string statisticsFolder(const std::string& logFolder)
{
    size_t length = std::min(logFolder.size(), kStatisticsFolderLimit);
    if (!isCharBoundary(logFolder, length))
        --length;
    return logFolder.substr(0, length);
}

CrawlerStatsWorker::CrawlerStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                       UiDispatcher& ui, Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([folder = statisticsFolder(logFolder), &stopRequested,
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) {
        for (const DirectoryEntry& entry : findLogEntries(folder)) {
            if (abandon)
                return;
            if (entry.isDirectory)
                continue;
            std::optional<CrawlerFileStats> row = countCrawlerVisits(joinPath(folder, entry.name), abandon);
            if (!row)
                return;
            post([handlers, row = std::move(*row)] { handlers->appendRow(row); });
            if (stopRequested)
                break;
        }
        post([handlers] { handlers->finished(); });
    });
}

} // namespace quill
