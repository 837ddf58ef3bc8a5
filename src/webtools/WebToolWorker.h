#pragma once
// One run of a web tool on a thread of its own, so the window never waits for the network. What
// the run finds is handed to the user-interface thread through the UiDispatcher, in order.

#include "platform/UiDispatcher.h"
#include "webtools/WebRequests.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quill {

class WebToolWorker {
public:
    // Queues a task for the user-interface thread; it runs only while the worker lives.
    using Post = std::function<void(std::function<void()> task)>;
    using Job = std::function<void(const WebContext& context, const Post& post)>;

    // Starts `job` at once, its requests bounded by `limits` and ended early by the destructor.
    WebToolWorker(UiDispatcher& ui, WebLimits limits, Job job);
    // Stops the requests under way, waits for the thread (a request ends within 50 ms of the
    // stop) and drops every task still queued.
    ~WebToolWorker();
    WebToolWorker(const WebToolWorker&) = delete;
    WebToolWorker& operator=(const WebToolWorker&) = delete;

private:
    struct Delivery {
        std::atomic<bool> ownerAlive{true};
    };

    UiDispatcher& m_ui;
    std::shared_ptr<Delivery> m_delivery = std::make_shared<Delivery>();
    std::atomic<bool> m_stop{false};
    std::thread m_thread; // last, so that it starts after the members it uses
};

} // namespace quill
