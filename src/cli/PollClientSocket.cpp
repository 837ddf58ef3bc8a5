#include "cli/PollClientSocket.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quill::cli {
namespace {

ConnectFailure failureOf(int error)
{
    switch (error) {
    case ECONNREFUSED: return ConnectFailure::Refused;
    case ETIMEDOUT: return ConnectFailure::TimedOut;
    case ENETUNREACH:
    case EHOSTUNREACH: return ConnectFailure::Unreachable;
    default: return ConnectFailure::Other;
    }
}

} // namespace

PollClientSocket::~PollClientSocket() { closeDescriptor(); }

void PollClientSocket::send(const std::string& bytes)
{
    m_outgoing += bytes;
    if (!m_connecting)
        onWritable();
}

std::string PollClientSocket::receiveText() { return std::exchange(m_received, {}); }

void PollClientSocket::schedule(std::chrono::milliseconds delay, std::function<void()> task)
{
    m_timers.push_back({Clock::now() + delay, std::move(task)});
}

void PollClientSocket::startConnecting()
{
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const std::string port = std::to_string(this->port());
    if (const int error = getaddrinfo(host().c_str(), port.c_str(), &hints, &found); error != 0) {
        const std::string text = gai_strerror(error);
        schedule(std::chrono::milliseconds(0), [this, text] { reportFailed(ConnectFailure::HostNotFound, text); });
        return;
    }
    int error = 0;
    for (addrinfo* address = found; address; address = address->ai_next) {
        m_fd = socket(address->ai_family, address->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address->ai_protocol);
        if (m_fd < 0) {
            error = errno;
            continue;
        }
        if (connect(m_fd, address->ai_addr, address->ai_addrlen) == 0 || errno == EINPROGRESS) {
            m_connecting = true;
            break;
        }
        error = errno;
        closeDescriptor();
    }
    freeaddrinfo(found);
    if (m_fd < 0) {
        const std::string text = std::strerror(error);
        schedule(std::chrono::milliseconds(0), [this, error, text] { reportFailed(failureOf(error), text); });
    }
}

void PollClientSocket::shutDown()
{
    closeDescriptor();
    m_outgoing.clear();
}

void PollClientSocket::closeDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_connecting = false;
}

void PollClientSocket::onWritable()
{
    if (m_connecting) {
        int error = 0;
        socklen_t length = sizeof error;
        getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length);
        if (error != 0) {
            closeDescriptor();
            reportFailed(failureOf(error), std::strerror(error));
            return;
        }
        m_connecting = false;
        reportConnected();
        return;
    }
    while (m_fd >= 0 && !m_outgoing.empty()) {
        const ssize_t sent = ::send(m_fd, m_outgoing.data(), m_outgoing.size(), MSG_NOSIGNAL);
        if (sent <= 0)
            return; // the rest goes out when the socket can take it
        m_outgoing.erase(0, static_cast<size_t>(sent));
    }
}

void PollClientSocket::onReadable()
{
    char buffer[1 << 16];
    const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
    if (got > 0) {
        m_received.append(buffer, static_cast<size_t>(got));
        reportReadable();
    } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
        closeDescriptor();
        reportDisconnected();
    }
}

void PollClientSocket::runDueTimers()
{
    const Clock::time_point now = Clock::now();
    std::vector<Timer> due;
    auto split = std::stable_partition(m_timers.begin(), m_timers.end(), [now](const Timer& t) { return t.due > now; });
    std::move(split, m_timers.end(), std::back_inserter(due));
    m_timers.erase(split, m_timers.end());
    for (Timer& timer : due)
        timer.task();
}

void PollClientSocket::runUntil(const std::function<bool()>& done)
{
    while (!done() && (m_fd >= 0 || !m_timers.empty())) {
        int wait = -1;
        if (!m_timers.empty()) {
            const auto next = std::min_element(m_timers.begin(), m_timers.end(),
                                               [](const Timer& a, const Timer& b) { return a.due < b.due; })->due;
            wait = static_cast<int>(std::max<long long>(
                0, std::chrono::ceil<std::chrono::milliseconds>(next - Clock::now()).count()));
        }
        pollfd watched{m_fd, 0, 0};
        if (m_fd >= 0)
            watched.events = static_cast<short>(POLLIN | (m_connecting || !m_outgoing.empty() ? POLLOUT : 0));
        const int ready = poll(m_fd >= 0 ? &watched : nullptr, m_fd >= 0 ? 1 : 0, wait);
        if (ready > 0) {
            if (watched.revents & (POLLOUT | POLLERR | POLLHUP) && (m_connecting || !m_outgoing.empty()))
                onWritable();
            if (m_fd >= 0 && !m_connecting && watched.revents & (POLLIN | POLLHUP | POLLERR))
                onReadable();
        }
        runDueTimers();
    }
}

} // namespace quill::cli
