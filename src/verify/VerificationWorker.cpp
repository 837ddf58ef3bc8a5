#include "verify/VerificationWorker.h"

#include <chrono>

namespace quill {

// Outlives the worker as long as a posted task holds it; a task that runs after the worker is
// gone delivers nothing.
struct VerificationWorker::Delivery {
    explicit Delivery(Handlers h) : handlers(std::move(h)) {}
    const Handlers handlers;
    std::atomic<bool> ownerAlive{true};
};

VerificationWorker::VerificationWorker(std::vector<VerificationRequest> requests, VerifierOptions options,
                                       std::string cachePath, UiDispatcher& ui, Handlers handlers)
    : m_ui(ui),
      m_delivery(std::make_shared<Delivery>(std::move(handlers))),
      m_thread([this, requests = std::move(requests), options = std::move(options),
                cachePath = std::move(cachePath)]() mutable {
          run(std::move(requests), std::move(options), std::move(cachePath));
      })
{
}

VerificationWorker::~VerificationWorker()
{
    m_delivery->ownerAlive = false;
    m_cancel = true;
    m_thread.join();
}

void VerificationWorker::run(std::vector<VerificationRequest> requests, VerifierOptions options,
                             std::string cachePath)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto kProgressInterval = std::chrono::milliseconds(100);
    auto lastPost = Clock::now() - kProgressInterval;
    auto progress = [&](size_t done, size_t total) {
        const auto now = Clock::now();
        if (done != total && now - lastPost < kProgressInterval)
            return;
        lastPost = now;
        m_ui.post([delivery = m_delivery, done, total] {
            if (delivery->ownerAlive)
                delivery->handlers.progress(done, total);
        });
    };
    VerdictCache cache(cachePath, options.now());
    VerificationRun result = verifyCrawlers(requests, options, cache, m_cancel, progress);
    if (!m_delivery->ownerAlive)
        return;
    if (Status saved = cache.save(options.now()); !saved && result.status.ok())
        result.status = saved;
    m_ui.post([delivery = m_delivery, result = std::move(result)] {
        if (delivery->ownerAlive)
            delivery->handlers.finished(result);
    });
}

} // namespace quill
