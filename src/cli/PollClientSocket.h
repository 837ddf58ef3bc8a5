#pragma once
// The "页面头" socket of the command line: a non-blocking POSIX socket whose events, and the
// probe's timers, are delivered by a small poll loop on the calling thread.

#include "webtools/ClientSocket.h"

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace quill::cli {

class PollClientSocket : public ClientSocket {
public:
    PollClientSocket() = default;
    ~PollClientSocket() override;
    PollClientSocket(const PollClientSocket&) = delete;
    PollClientSocket& operator=(const PollClientSocket&) = delete;

    void send(const std::string& bytes) override;
    std::string receiveText() override;

    // Runs `task` after `delay`, from within runUntil.
    void schedule(std::chrono::milliseconds delay, std::function<void()> task);
    // Delivers socket events and due timers until `done` holds or nothing is left to wait for.
    void runUntil(const std::function<bool()>& done);

private:
    using Clock = std::chrono::steady_clock;
    struct Timer {
        Clock::time_point due;
        std::function<void()> task;
    };

    void startConnecting() override;
    void shutDown() override;
    void closeDescriptor();
    void onWritable();
    void onReadable();
    void runDueTimers();

    int m_fd = -1;
    bool m_connecting = false;
    std::string m_received;
    std::string m_outgoing;
    std::vector<Timer> m_timers;
};

} // namespace quill::cli
