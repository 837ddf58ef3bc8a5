#include "support/StreamServer.h"

#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace quill::test {
namespace {

bool waitFor(int fd, short events, const std::atomic<bool>& stop)
{
    while (!stop) {
        pollfd entry{fd, events, 0};
        if (poll(&entry, 1, 50) > 0)
            return !(entry.revents & (POLLERR | POLLNVAL));
    }
    return false;
}

} // namespace

StreamServer::StreamServer(Mode mode, std::chrono::milliseconds interval, std::uint64_t size, std::string contentType)
    : m_mode(mode), m_interval(interval), m_size(size), m_contentType(std::move(contentType))
{
    const LoopbackListener listener = listenOnLoopback(8);
    m_listener = listener.fd;
    m_port = listener.port;
    m_thread = std::thread([this] { serve(); });
}

StreamServer::~StreamServer()
{
    m_stop = true;
    m_thread.join();
    close(m_listener);
}

std::string StreamServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

void StreamServer::serve()
{
    while (waitFor(m_listener, POLLIN, m_stop)) {
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        answer(client);
        close(client);
    }
}

bool StreamServer::sendAll(int client, const char* data, std::size_t size)
{
    while (size > 0) {
        if (!waitFor(client, POLLOUT, m_stop))
            return false;
        const ssize_t done = send(client, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (done < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (done <= 0)
            return false; // the client went away
        m_sent += static_cast<std::uint64_t>(done);
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

void StreamServer::answer(int client)
{
    std::string request;
    while (request.find("\r\n\r\n") == std::string::npos) {
        char buffer[4096];
        if (!waitFor(client, POLLIN, m_stop))
            return;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return;
        request.append(buffer, static_cast<size_t>(got));
    }
    switch (m_mode) {
    case Mode::Silent:
        while (waitFor(client, POLLIN, m_stop)) {
            char buffer[256];
            if (recv(client, buffer, sizeof buffer, 0) <= 0)
                return; // the client gave up
        }
        return;
    case Mode::Trickle: {
        const std::string status = "HTTP/1.1 200 OK\r\n", header = "X: 1\r\n";
        for (std::size_t i = 0; !m_stop; ++i) {
            const char byte = i < status.size() ? status[i] : header[(i - status.size()) % header.size()];
            if (!sendAll(client, &byte, 1))
                return;
            const auto until = std::chrono::steady_clock::now() + m_interval;
            while (!m_stop && std::chrono::steady_clock::now() < until) {
                pollfd entry{client, POLLIN, 0};
                if (poll(&entry, 1, 20) > 0) {
                    char buffer[256];
                    if (recv(client, buffer, sizeof buffer, MSG_DONTWAIT) == 0)
                        return;
                }
            }
        }
        return;
    }
    case Mode::Endless:
    case Mode::Sized: {
        std::string head = "HTTP/1.1 200 OK\r\nContent-Type: " + m_contentType + "\r\n";
        if (m_mode == Mode::Sized)
            head += "Content-Length: " + std::to_string(m_size) + "\r\n";
        head += "Connection: close\r\n\r\n";
        if (!sendAll(client, head.data(), head.size()))
            return;
        const std::vector<char> block(1 << 16, 'x');
        std::uint64_t left = m_size;
        while (m_mode == Mode::Endless || left > 0) {
            const std::size_t piece = m_mode == Mode::Endless ? block.size() : static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
            if (!sendAll(client, block.data(), piece))
                return;
            left -= std::min<std::uint64_t>(left, piece);
        }
        return;
    }
    }
}

} // namespace quill::test
