#pragma once
// The crawler statistics with the DNS check: every "*.log" file of the log folder is read for the
// addresses of its statistics lines, they are checked, and each file gives its visits whose
// crawler was verified, those that were fake and those the check could not decide.

#include "platform/Worker.h"
#include "verify/CrawlerVerifier.h"
#include "verify/VerifiedStatistics.h"

#include <atomic>
#include <functional>
#include <string>

namespace quill {

class VerifiedStatsWorker {
public:
    // They run on the user-interface thread: appendRow once per file in listing order (without
    // counts when the file could not be read), progress as files are read and checked (may be
    // empty), then finished with what to tell the user (GBK; empty when every address was
    // checked): how many addresses went unchecked, and that the DNS was out of reach when it was.
    // After a silent server, the files after it are counted without asking it.
    struct Handlers {
        std::function<void(const VerifiedFileStats& row)> appendRow;
        std::function<void(const VerifiedStatsProgress& progress)> progress;
        std::function<void(const std::string& notice)> finished;
    };

    // Counts the "*.log" entries of `logFolder` (cut as the statistics cut it). The caller's
    // `stopRequested` is read after each file, as "停止" asks; the caller keeps it and `ui` alive
    // longer than this worker. Verdicts are shared through the cache file at `cachePath`.
    VerifiedStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested, VerifierOptions options,
                        std::string cachePath, UiDispatcher& ui, Handlers handlers);
    // Abandons the run, also within a file, and waits for it; nothing more is delivered.
    ~VerifiedStatsWorker() = default;

private:
    Worker m_worker;
};

} // namespace quill
