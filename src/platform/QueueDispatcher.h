#pragma once
// A UiDispatcher whose tasks wait in a queue until the owning thread runs them (tests, CLI).

#include "platform/UiDispatcher.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace quill {

class QueueDispatcher : public UiDispatcher {
public:
    void post(std::function<void()> task) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_posted.notify_all();
    }

    // Runs every task queued so far; returns how many ran.
    int drain()
    {
        int ran = 0;
        while (auto task = next(std::chrono::milliseconds(0))) {
            task();
            ++ran;
        }
        return ran;
    }

    // Waits up to `timeout` for one task and runs it; false when none came.
    bool runOne(std::chrono::milliseconds timeout)
    {
        auto task = next(timeout);
        if (!task)
            return false;
        task();
        return true;
    }

private:
    std::function<void()> next(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        if (!m_posted.wait_for(lock, timeout, [this] { return !m_tasks.empty(); }))
            return {};
        auto task = std::move(m_tasks.front());
        m_tasks.pop_front();
        return task;
    }

    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

} // namespace quill
