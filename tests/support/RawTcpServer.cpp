#include "support/RawTcpServer.h"

#include "support/LoopbackListener.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace quill::test {
namespace {

// Waits for `fd` to be readable, checking `stop` every 50 ms.
bool readable(int fd, const std::atomic<bool>& stop)
{
    while (!stop) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 50) > 0)
            return true;
    }
    return false;
}

} // namespace

RawTcpServer::RawTcpServer(std::vector<std::string> pieces, bool closeAfter)
    : m_pieces(std::move(pieces)), m_closeAfter(closeAfter)
{
    const LoopbackListener listener = listenOnLoopback(4);
    m_listener = listener.fd;
    m_port = listener.port;
    m_thread = std::thread([this] { serve(); });
}

RawTcpServer::~RawTcpServer()
{
    m_stop = true;
    m_released.notify_all();
    m_thread.join();
    close(m_listener);
}

std::string RawTcpServer::received()
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

int RawTcpServer::connections()
{
    std::lock_guard lock(m_mutex);
    return m_connections;
}

void RawTcpServer::releaseNext()
{
    std::lock_guard lock(m_mutex);
    ++m_releases;
    m_released.notify_all();
}

void RawTcpServer::serve()
{
    while (readable(m_listener, m_stop)) {
        const int client = accept(m_listener, nullptr, nullptr);
        if (client < 0)
            continue;
        {
            std::lock_guard lock(m_mutex);
            ++m_connections;
        }
        answer(client);
        close(client);
    }
}

// Reads until the received bytes end in a blank line; false when the client left or on stop.
bool RawTcpServer::readRequest(int client)
{
    std::string request;
    while (request.size() < 4 || request.compare(request.size() - 4, 4, "\r\n\r\n") != 0) {
        char buffer[4096];
        if (!readable(client, m_stop))
            return false;
        const ssize_t got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        request.append(buffer, static_cast<size_t>(got));
        std::lock_guard lock(m_mutex);
        m_received.append(buffer, static_cast<size_t>(got));
    }
    return true;
}

void RawTcpServer::answer(int client)
{
    int sent = 0;
    while (readRequest(client)) {
        for (size_t i = 0; i < m_pieces.size(); ++i) {
            if (i > 0) {
                std::unique_lock lock(m_mutex);
                m_released.wait(lock, [&] { return m_stop || m_releases > sent; });
                if (m_stop)
                    return;
                ++sent;
            }
            send(client, m_pieces[i].data(), m_pieces[i].size(), MSG_NOSIGNAL);
        }
        if (m_closeAfter)
            return;
    }
}

} // namespace quill::test
