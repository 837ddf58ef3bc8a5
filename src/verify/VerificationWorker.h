#pragma once
// Runs the crawler checks of a loaded log on their own thread and hands the progress and the
// verdicts to the user-interface thread.

#include "platform/Worker.h"
#include "verify/CrawlerVerifier.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

namespace quill {

class VerificationWorker {
public:
    // Both must be set; they run on the user-interface thread: progress now and then while the
    // checks run (requests answered, and all requests), then finished once with the whole run.
    struct Handlers {
        std::function<void(size_t done, size_t total)> progress;
        std::function<void(const VerificationRun& run)> finished;
    };

    // Starts checking `requests`; known verdicts come from the cache file at `cachePath` (empty:
    // none), which gets the new ones when the run ends. `ui` must outlive the worker.
    VerificationWorker(std::vector<VerificationRequest> requests, VerifierOptions options, std::string cachePath,
                       UiDispatcher& ui, Handlers handlers);

    // Abandons the run and waits for it; nothing more is delivered.
    ~VerificationWorker();

    // Ends the run early: the checks done so far are delivered to finished, the rest stay unchecked.
    void cancel() { *m_cancel = true; }

private:
    std::shared_ptr<std::atomic<bool>> m_cancel = std::make_shared<std::atomic<bool>>(false);
    Worker m_worker;
};

} // namespace quill
