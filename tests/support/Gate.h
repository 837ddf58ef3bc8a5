#pragma once
// Opened once by one thread, waited for by another, with a deadline so a fault cannot hang a test.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quill::test {

class Gate {
public:
    void open()
    {
        {
            std::lock_guard lock(m_mutex);
            m_open = true;
        }
        m_changed.notify_all();
    }
    // True once the gate is open; false when `timeout` passed first.
    bool wait(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [this] { return m_open; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_open = false;
};

} // namespace quill::test
