#include "platform/Worker.h"

#include <algorithm>

namespace quill {

void Worker::start(Job job)
{
    stop();
    m_run = std::make_shared<Run>();
    Post post = [ui = m_ui, run = m_run](std::function<void()> task) {
        ui->post([run, task = std::move(task)] {
            if (run->delivers)
                task();
        });
    };
    m_thread = std::jthread([run = m_run, job = std::move(job), post = std::move(post)] { job(run->stop, post); });
}

void Worker::stop()
{
    if (!m_run)
        return;
    m_run->stop = true;
    if (m_thread.joinable())
        m_thread.join();
    m_run->delivers = false;
    m_run.reset();
}

void Worker::wait()
{
    if (m_thread.joinable())
        m_thread.join();
}

unsigned parallelThreads() { return std::clamp(std::thread::hardware_concurrency(), 1u, 2u); }

} // namespace quill
