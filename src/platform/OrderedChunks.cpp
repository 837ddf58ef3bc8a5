#include "platform/OrderedChunks.h"

#include "platform/Worker.h"

#include <condition_variable>
#include <mutex>

namespace quill {

Status runOrderedChunks(size_t count, const OrderedChunks& job)
{
    std::mutex mutex;
    std::condition_variable turnChanged;
    size_t turn = 0;                 // next chunk to deliver
    std::atomic<bool> stop{false};   // a delivery failed or the run was cancelled
    Status outcome;

    // Worker w formats chunks w, w + n, w + 2n, ... and delivers each when its turn comes, so
    // one thread writes while the other formats.
    const size_t threads = parallelThreads();
    auto work = [&](size_t first) {
        std::string buffer;
        for (size_t index = first; index < count; index += threads) {
            if (stop.load(std::memory_order_relaxed))
                break;
            if (job.cancel && job.cancel->load(std::memory_order_relaxed)) {
                std::lock_guard lock(mutex);
                if (!stop.exchange(true))
                    outcome = Status::failure(std::string(kCancelledMessage));
                turnChanged.notify_all();
                break;
            }
            buffer.clear();
            job.format(index, buffer);
            std::unique_lock lock(mutex);
            turnChanged.wait(lock, [&] { return turn == index || stop.load(); });
            if (stop.load())
                break;
            lock.unlock();
            Status delivered = job.deliver(buffer);
            lock.lock();
            if (!delivered.ok() && !stop.exchange(true))
                outcome = std::move(delivered);
            ++turn;
            turnChanged.notify_all();
        }
    };
    Worker helper;
    if (threads > 1)
        helper.start([&](const std::atomic<bool>&, const Worker::Post&) { work(1); });
    work(0);
    helper.wait();
    return outcome;
}

} // namespace quill
