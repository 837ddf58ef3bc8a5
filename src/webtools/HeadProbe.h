#pragma once
// "页面头": a hand-built HEAD request over the window's client socket, the reply shown as it
// arrives.

#include "platform/Status.h"
#include "webtools/ClientSocket.h"

#include <functional>
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
    // Keeps handling the window's events until the predicate holds.
    using KeepDispatchingUntil = std::function<void(const std::function<bool()>& done)>;

    // Takes over the socket's events for as long as it lives.
    HeadProbe(ClientSocket& socket, AppendLine appendLine, KeepDispatchingUntil wait);
    ~HeadProbe();
    HeadProbe(const HeadProbe&) = delete;
    HeadProbe& operator=(const HeadProbe&) = delete;

    // The click: shows the address lines, connects, waits and sends. The error is for the box.
    Status click(const std::string& siteBox);

private:
    void readHandler();

    ClientSocket& m_socket;
    AppendLine m_appendLine;
    KeepDispatchingUntil m_wait;
    bool m_connected = false;
    std::optional<std::string> m_failure;
};

} // namespace quill
