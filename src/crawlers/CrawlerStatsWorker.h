#pragma once
// The crawler statistics worker: counts every "*.log" file of a log folder on its own thread and
// hands each finished row, and then the end of the run, to the user-interface thread.

#include "crawlers/CrawlerFileStats.h"
#include "crawlers/StatisticsLogs.h"
#include "platform/Worker.h"

#include <atomic>
#include <functional>
#include <string>

namespace quill {

class CrawlerStatsWorker {
public:
    // Both must be set. They run on the user-interface thread, in this order: one appendRow per
    // counted file, in listing order, then finished.
    struct Handlers {
        std::function<void(const CrawlerFileStats&)> appendRow;
        std::function<void()> finished;
    };

    // Starts counting the "*.log" entries of `logFolder`, cut to its first 200 bytes, in the
    // order the directory lists them; folders among them and sub-folders are not counted. After
    // each file the worker reads `stopRequested` (owned by the caller, who clears it before a
    // run and must keep it and `ui` alive longer than this worker) and ends when it is set.
    CrawlerStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested, UiDispatcher& ui,
                       Handlers handlers);

    // Abandons the run, also between blocks of the file being counted, and waits for it. Rows
    // and the end still waiting on the user-interface thread are dropped, not delivered.
    ~CrawlerStatsWorker() = default;

private:
    Worker m_worker;
};

} // namespace quill
