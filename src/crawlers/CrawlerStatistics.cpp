#include "crawlers/CrawlerStatistics.h"

namespace quill {

CrawlerStatistics::CrawlerStatistics(UiDispatcher& ui, CrawlerStatsWorker::Handlers handlers)
    : m_ui(ui), m_handlers(std::move(handlers))
{
}

bool CrawlerStatistics::start(const std::string& logFolder)
{
    if (m_counting)
        return false;
    m_stopRequested = false;
    m_worker.reset(); // the last run has finished; this only joins its thread
    CrawlerStatsWorker::Handlers handlers{m_handlers.appendRow, [this] {
                                              m_counting = false;
                                              m_handlers.finished();
                                          }};
    m_worker = std::make_unique<CrawlerStatsWorker>(logFolder, m_stopRequested, m_ui, std::move(handlers));
    m_counting = true; // the finished handler runs on this thread, so not before this
    return true;
}

} // namespace quill
