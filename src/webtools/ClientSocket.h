#pragma once
// The asynchronous TCP client of the "页面头" tool. Its events arrive on the UI thread; the
// platform part opens, reads, sends and closes, this part keeps host, port and the active flag.

#include "platform/Status.h"

#include <functional>
#include <string>

namespace quill {

// Why a connection attempt failed, as far as the HEAD tool tells them apart.
enum class ConnectFailure { HostNotFound, Refused, TimedOut, Unreachable, Other };

// The error box text for a failed connection, with `systemText` the system's own description.
std::string connectErrorText(ConnectFailure failure, const std::string& systemText);

class ClientSocket {
public:
    struct Events {
        std::function<void()> connected;
        std::function<void()> readable;     // bytes arrived; take them with receiveText()
        std::function<void()> disconnected; // by either side
        std::function<void(const std::string& message)> failed; // connecting failed
    };

    virtual ~ClientSocket() = default;

    const std::string& host() const { return m_host; }
    int port() const { return m_port; }
    bool active() const { return m_active; }

    // Both fail with "Can't change value while socket is active" when they would change the value
    // of an open socket; host names are compared ignoring case.
    Status setHost(const std::string& host);
    Status setPort(int port);

    // Starts connecting unless already active; `events` reports the outcome.
    void open();
    void close();
    virtual void send(const std::string& bytes) = 0;
    // Every byte received and not yet taken.
    virtual std::string receiveText() = 0;

    void setEvents(Events events) { m_events = std::move(events); }

protected:
    virtual void startConnecting() = 0;
    virtual void shutDown() = 0;
    // The platform part reports through these.
    void reportConnected();
    void reportReadable();
    void reportDisconnected();
    void reportFailed(ConnectFailure failure, const std::string& systemText);

private:
    std::string m_host;
    int m_port = 80;
    bool m_active = false;
    Events m_events;
};

} // namespace quill
