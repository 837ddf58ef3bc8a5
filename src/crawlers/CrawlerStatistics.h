#pragma once
// The counting behind the statistics page: "统计" starts a run over the log folder, "停止" asks it
// to end after the file being counted. One run at a time; destroying this abandons a run and waits.

#include "crawlers/CrawlerStatsWorker.h"

#include <atomic>
#include <memory>
#include <string>

namespace quill {

class CrawlerStatistics {
public:
    // `handlers` run on the user-interface thread that `ui` serves and that calls the members.
    CrawlerStatistics(UiDispatcher& ui, CrawlerStatsWorker::Handlers handlers);
    // Abandons a run first: its job reads the stop request and its handlers reach this object.
    ~CrawlerStatistics() { m_worker.reset(); }

    // "统计": clears StatsStopRequested and starts counting `logFolder`. Refused (false) while a
    // run lasts, which the page also shows by disabling the button.
    bool start(const std::string& logFolder);

    // "停止": the run ends after the file being counted; without a run it has no lasting effect.
    void requestStop() { StatsStopRequested = true; }

    // From start until the run's finished handler has run.
    bool isCounting() const { return m_counting; }

private:
    UiDispatcher& m_ui;
    CrawlerStatsWorker::Handlers m_handlers;
    bool m_counting = false;
    std::atomic<bool> StatsStopRequested{false};
    std::unique_ptr<CrawlerStatsWorker> m_worker;
};

} // namespace quill
