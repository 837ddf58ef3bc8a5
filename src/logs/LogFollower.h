#pragma once
// Follows a loaded log on a worker: sleeps until the system tells of a change (or looks once a
// second where it cannot tell), reads what was appended, and hands the new records to the
// user-interface thread in batches, no more often than every batchGapMs and never while the last
// batch has not been taken. It also tells when the folder's log files change and why it ended.

#include "logs/FollowedLog.h"
#include "logsource/LogWatch.h"
#include "platform/Worker.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill {

// What the summary line adds once following reloaded the list because the file changed as
// `end` says (cut short, rewritten or replaced), in GBK.
std::string followReloadedText(FollowEnd end);
// What it adds, before the file's name, once following switched to the folder's new log file (GBK).
std::string followSwitchedText();
// Why following ended, in GBK: the message of `read` for Failed.
std::string followEndedText(FollowEnd end, const Status& read);

class LogFollower {
public:
    // Run on the user-interface thread; none may be empty.
    struct Handlers {
        std::function<void(FollowBatch batch)> batch;
        // The names of the folder's log files (as listLogFiles gives them), each time they change.
        std::function<void(std::vector<std::string> names)> listed;
        // Following has ended; `read` says why when `end` is Failed. Nothing comes after.
        std::function<void(FollowEnd end, const Status& read)> ended;
    };
    struct Options {
        WatchOptions watch;
        int batchGapMs = 50;
        size_t stepBytes = size_t(16) << 20; // read per step at most, so a long backlog comes in batches
        LoadLimits limits;
    };

    // Starts following; `ui` must outlive the follower.
    LogFollower(FollowStart start, UiDispatcher& ui, Handlers handlers, Options options);
    LogFollower(FollowStart start, UiDispatcher& ui, Handlers handlers)
        : LogFollower(std::move(start), ui, std::move(handlers), Options{})
    {
    }
    // Stops following and waits for the worker; nothing more is delivered.
    ~LogFollower();
    LogFollower(const LogFollower&) = delete;
    LogFollower& operator=(const LogFollower&) = delete;

    // True when changes are looked for once a second rather than told by the system.
    bool polls() const { return m_watch && m_watch->polls(); }

private:
    void run(FollowStart start, std::vector<std::string> names, const Handlers& handlers, const Options& options,
             const std::atomic<bool>& stop, const Worker::Post& post);

    std::unique_ptr<LogWatch> m_watch;
    std::string m_watchFailure;
    std::shared_ptr<std::atomic<int>> m_inFlight = std::make_shared<std::atomic<int>>(0);
    std::atomic<bool> m_stopping = false; // set before the wake, so the woken job sees it
    Worker m_worker; // last: stopped before the watch goes
};

} // namespace quill
