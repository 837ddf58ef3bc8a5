#pragma once
// The crawler statistics with the DNS check: every "*.log" file of the log folder is read for the
// addresses of its statistics lines, they are checked, and each file gives two rows, the visits
// whose crawler was verified and those that were fake.

#include "crawlers/CrawlerFileStats.h"
#include "platform/Worker.h"
#include "verify/CrawlerVerifier.h"

#include <atomic>
#include <functional>
#include <string>

namespace quill {

class VerifiedStatsWorker {
public:
    // Both must be set; they run on the user-interface thread: appendRows once per file in listing
    // order (the verified counts, then the fake counts; both without counts when the file could
    // not be read), then finished, with what to tell the user (GBK) when the DNS server stopped
    // answering: the files after that are counted without asking it.
    struct Handlers {
        std::function<void(const CrawlerFileStats& verified, const CrawlerFileStats& fakes)> appendRows;
        std::function<void(const std::string& dnsNotice)> finished;
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
