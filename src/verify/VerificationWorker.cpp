#include "verify/VerificationWorker.h"

#include <chrono>

namespace quill {

VerificationWorker::VerificationWorker(std::vector<VerificationRequest> requests, VerifierOptions options,
                                       std::string cachePath, UiDispatcher& ui, Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([requests = std::move(requests), options = std::move(options), cachePath = std::move(cachePath),
                    cancel = m_cancel, handlers = std::move(shared)](const std::atomic<bool>& abandon,
                                                                      const Worker::Post& post) {
        using Clock = std::chrono::steady_clock;
        constexpr auto kProgressInterval = std::chrono::milliseconds(100);
        auto lastPost = Clock::now() - kProgressInterval;
        auto progress = [&](size_t done, size_t total) {
            const auto now = Clock::now();
            if (done != total && now - lastPost < kProgressInterval)
                return;
            lastPost = now;
            post([handlers, done, total] { handlers->progress(done, total); });
        };
        VerdictCache cache(cachePath, options.now());
        // The destructor sets the cancel flag too, so one flag ends the checks either way.
        VerificationRun result = verifyCrawlers(requests, options, cache, *cancel, progress);
        if (abandon)
            return;
        if (Status saved = cache.save(options.now()); !saved && result.status.ok())
            result.status = saved;
        post([handlers, result = std::move(result)] { handlers->finished(result); });
    });
}

VerificationWorker::~VerificationWorker()
{
    *m_cancel = true;
    m_worker.stop();
}

} // namespace quill
