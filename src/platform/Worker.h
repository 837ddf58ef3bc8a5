#pragma once
// The one way this program runs a job in the background: a thread that is asked to stop and
// joined when the worker stops or goes, and whose results reach the user-interface thread only
// while the worker that posted them still runs that job.

#include "platform/UiDispatcher.h"

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace quill {

class Worker {
public:
    // Runs `task` on the user-interface thread later, unless the job has been stopped by then.
    using Post = std::function<void(std::function<void()> task)>;
    // The job polls `stop` where it can end early.
    using Job = std::function<void(const std::atomic<bool>& stop, const Post& post)>;

    // A worker whose jobs post to `ui`; without one, a job must not post.
    explicit Worker(UiDispatcher* ui = nullptr) : m_ui(ui) {}
    // Stops the job as stop() does.
    ~Worker() { stop(); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Starts `job` on a thread of its own, after stopping the job before it.
    void start(Job job);
    // Asks the job to end and waits for it. What it posted and the user-interface thread has not
    // run yet is dropped. A job that touches its owner's members is stopped by the owner's
    // destructor, before those members go.
    void stop();
    // Waits for the job to end by itself; what it posted is still delivered.
    void wait();

private:
    struct Run {
        std::atomic<bool> stop{false};
        std::atomic<bool> delivers{true}; // read and cleared on the user-interface thread
    };

    UiDispatcher* m_ui;
    std::shared_ptr<Run> m_run;
    std::jthread m_thread;
};

// How many threads a job may split its work into: this program uses at most two cores.
unsigned parallelThreads();

} // namespace quill
