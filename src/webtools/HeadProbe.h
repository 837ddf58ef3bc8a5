#pragma once
// "页面头": a hand-built HEAD request over the window's client socket, the reply shown as it
// arrives.

#include "platform/Status.h"
#include "webtools/ClientSocket.h"
#include "webtools/WebRequests.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quill {

struct HeadAddress {
    std::string host;
    std::string path;     // "/" and everything after it, query included
    std::string portText; // as typed, or "80" when none was given
};

// The site box's text split into host, path and port text.
HeadAddress splitHeadAddress(std::string siteBox);

// True when every byte is a decimal digit; the empty text is all digits.
bool isAllDigits(std::string_view text);

// The port the socket gets for `portText`: nothing when it is not all digits (the socket keeps
// its port), an invalid-integer error when it is empty or too large for an integer.
Result<std::optional<int>> headPort(const std::string& portText);

// The request's eight CR LF lines; the Host line never carries a port.
std::string headRequest(const std::string& path, const std::string& host);

class HeadProbe {
public:
    using AppendLine = std::function<void(const std::string& line)>;
    // Runs `task` once, `delay` from now, on the thread the socket's events arrive on.
    using Schedule = std::function<void(std::chrono::milliseconds delay, std::function<void()> task)>;

    struct Handlers {
        AppendLine appendLine;
        // Connecting failed: the message for the error box.
        std::function<void(const std::string& message)> connectFailed;
        // The socket closed, or was given up for the failure's reason ("连接超时", ...).
        std::function<void(const Status& outcome)> finished;
    };

    // Takes over the socket's events for as long as it lives. The socket is given up (closed,
    // "失败" appended) when connecting, a wait for data or the whole exchange exceeds `limits`,
    // or the reply outgrows limits.maxBody.
    HeadProbe(ClientSocket& socket, Handlers handlers, Schedule schedule, WebLimits limits = {});
    ~HeadProbe();
    HeadProbe(const HeadProbe&) = delete;
    HeadProbe& operator=(const HeadProbe&) = delete;

    // The click: shows the address lines and connects; the request goes out once connected, at
    // once when the socket is already connected. The error is for the box.
    Status click(const std::string& siteBox);
    // A connection is open or being made.
    bool busy() const { return m_socket.active(); }

private:
    void readHandler();
    void giveUp(const std::string& reason);
    void finish(const Status& outcome);
    // `task` after `delay`, unless this probe is gone or a later connection began by then.
    void after(std::chrono::milliseconds delay, std::function<void()> task);
    void watchIdle();

    ClientSocket& m_socket;
    Handlers m_handlers;
    Schedule m_schedule;
    WebLimits m_limits;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    std::string m_request; // sent once connected
    bool m_connected = false;
    bool m_givingUp = false;
    unsigned m_connection = 0; // counts connections, so timers of an earlier one do nothing
    unsigned m_activity = 0;   // counts arrivals, so an idle check sees whether data came
    std::size_t m_received = 0;
};

} // namespace quill
