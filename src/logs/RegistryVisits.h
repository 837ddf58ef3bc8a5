#pragma once
// Counting a log file for the "全部蜘蛛" view: each data line's user agent, found through the file's
// "#Fields:" lines, named by the crawler registry. And the worker that counts a folder so.

#include "crawlers/RegistryStatistics.h"
#include "logsource/ReadLimits.h"
#include "platform/Worker.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace quill {

// The row of the log file at `path`: visits per registry crawler. Read in blocks of whole lines;
// once `abandon` is set the count stops and gives nothing. A log that cannot be read, or holds a
// line longer than `lineBytes`, gives a row without counts; an archive counts as the log inside it.
std::optional<RegistryFileStats> countRegistryVisits(const std::string& path, const std::atomic<bool>& abandon,
                                                     size_t lineBytes = kMaxLineBytes);

class RegistryStatsWorker {
public:
    // Both must be set; they run on the user-interface thread: appendRow per file in listing
    // order, then finished.
    struct Handlers {
        std::function<void(const RegistryFileStats&)> appendRow;
        std::function<void()> finished;
    };

    // Counts the "*.log" entries of `logFolder` (cut as the statistics cut it) as the crawler
    // statistics worker does, reading the caller's `stopRequested` after each file. The caller
    // keeps it and `ui` alive longer than this worker.
    RegistryStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested, UiDispatcher& ui,
                        Handlers handlers);
    // Abandons the run, also within a file, and waits for it; nothing more is delivered.
    ~RegistryStatsWorker() = default;

private:
    Worker m_worker;
};

} // namespace quill
