#include "support/LoopbackServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace quill::test {
namespace {

int boundPort(int fd)
{
    sockaddr_in address {};
    socklen_t length = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    return ntohs(address.sin_port);
}

sockaddr_in loopback(int port)
{
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

} // namespace

std::string loopbackCertificateFile() { return QUILLMARK_TEST_DATA_DIR "/loopback-cert.pem"; }

LoopbackServer::LoopbackServer(Scheme scheme) : m_scheme(scheme)
{
    if (scheme == Scheme::Https)
        m_server = std::make_unique<httplib::SSLServer>(loopbackCertificateFile().c_str(),
                                                        QUILLMARK_TEST_DATA_DIR "/loopback-key.pem");
    else
        m_server = std::make_unique<httplib::Server>();
    if (!m_server->is_valid())
        throw std::runtime_error("cannot set up the loopback server");
    m_server->set_keep_alive_timeout(1);
    m_port = m_server->bind_to_any_port("127.0.0.1");
    if (m_port <= 0)
        throw std::runtime_error("cannot bind a loopback port");
}

LoopbackServer::~LoopbackServer()
{
    release();
    if (m_thread.joinable()) {
        m_server->stop();
        m_thread.join();
    }
}

void LoopbackServer::start()
{
    m_thread = std::thread([this] { m_server->listen_after_bind(); });
    // stop() does nothing before the server runs, so wait for that (it takes microseconds).
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_server->is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
}

std::string LoopbackServer::url(std::string_view path) const
{
    const char* scheme = m_scheme == Scheme::Https ? "https" : "http";
    return scheme + std::string("://127.0.0.1:") + std::to_string(m_port) + std::string(path);
}

bool LoopbackServer::holdUntilReleased(std::chrono::milliseconds limit)
{
    std::unique_lock lock(m_mutex);
    return m_released.wait_for(lock, limit, [this] { return m_isReleased; });
}

void LoopbackServer::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_isReleased = true;
    }
    m_released.notify_all();
}

int refusingPort()
{
    // A port just bound and closed again is free, and nothing else on this host picks it at once.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    const int port = boundPort(fd);
    close(fd);
    return port;
}

StalledListener::StalledListener()
{
    m_listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = loopback(0);
    if (bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(m_listener, 0) != 0)
        throw std::runtime_error("cannot listen on a loopback port");
    m_port = boundPort(m_listener);
    // Fill the queue: with a backlog of 0 it holds one connection, and the kernel drops the
    // handshakes of later ones.
    m_queued = socket(AF_INET, SOCK_STREAM, 0);
    address = loopback(m_port);
    if (connect(m_queued, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("cannot queue a loopback connection");
}

StalledListener::~StalledListener()
{
    close(m_queued);
    close(m_listener);
}

} // namespace quill::test
