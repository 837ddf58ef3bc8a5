#pragma once
// Waits for a log file, or the folder of logs it stands in, to change, without looking at it in
// between: the system tells of every change (inotify). Where it cannot (no inotify left, or a
// network file system, which never hears of other machines' writes), the path is looked at once
// a second instead.

#include "platform/Status.h"

#include <memory>
#include <string>

namespace quill {

struct WatchOptions {
    bool poll = false; // look every pollMs even where the system would tell
    int pollMs = 1000;
};

class LogWatch {
public:
    // What ended a wait: nothing of these when the time ran out.
    struct Wake {
        bool file = false;   // the file may have been written to, renamed, replaced or removed
        bool folder = false; // entries of the folder may have come or gone
        bool woken = false;  // wake() was called
    };

    // Watches the file at `path` (written to, renamed, replaced or removed) and the entries of
    // the folder it stands in. Fails when there is no file at `path`.
    static Result<std::unique_ptr<LogWatch>> watchFile(const std::string& path, WatchOptions options = {});
    ~LogWatch();
    LogWatch(const LogWatch&) = delete;
    LogWatch& operator=(const LogWatch&) = delete;

    // Waits until the file or the folder may have changed, wake() is called, or `timeoutMs`
    // (-1: no end) has passed, and says which. A wake() before the wait ends it at once.
    Wake wait(int timeoutMs);
    // Ends the wait under way or the next one; from any thread, and from a signal handler.
    void wake();
    // True when changes are looked for every pollMs rather than told.
    bool polls() const { return m_inotify < 0; }

private:
    struct Look;
    LogWatch(std::string path, std::string folder, WatchOptions options);
    Status start();
    Wake pollFor(int timeoutMs);
    void readEvents(Wake& wake);
    Look look() const;

    std::string m_path;
    std::string m_folder;
    WatchOptions m_options;
    int m_inotify = -1;
    int m_folderWatch = -1;
    int m_wake = -1;
    std::unique_ptr<Look> m_last; // what the last look found, while polling
};

} // namespace quill
