#pragma once
// An HTTP or HTTPS server on 127.0.0.1 at a free port, answering with the handlers a test registers.

#include <httplib.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace quill::test {

enum class Scheme { Http, Https };

// The certificate the HTTPS test servers show, for 127.0.0.1; a client trusts it by naming this
// file as its CA file.
std::string loopbackCertificateFile();

class LoopbackServer {
public:
    // Binds the port at once, so url() works before start(); connections wait until then.
    explicit LoopbackServer(Scheme scheme = Scheme::Http);
    // Releases held handlers, then stops and joins the server.
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    // Register handlers here before start().
    httplib::Server* operator->() { return m_server.get(); }
    // Serves on a thread of its own; returns once the server accepts.
    void start();

    int port() const { return m_port; }
    // "http://127.0.0.1:<port>" (or https) followed by `path`.
    std::string url(std::string_view path) const;

    // Blocks a handler until release() or the server's end; false if that did not come within
    // `limit`, so a faulty client cannot hang the suite.
    bool holdUntilReleased(std::chrono::milliseconds limit = std::chrono::seconds(10));
    void release();

private:
    std::unique_ptr<httplib::Server> m_server;
    Scheme m_scheme;
    int m_port = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_released;
    bool m_isReleased = false;
};

// A port on 127.0.0.1 where nothing listens: connections to it are refused.
int refusingPort();

// A socket on 127.0.0.1 that listens but never accepts, its one-connection queue already full, so
// a further connection attempt hangs until the client gives up.
class StalledListener {
public:
    StalledListener();
    ~StalledListener();
    StalledListener(const StalledListener&) = delete;
    StalledListener& operator=(const StalledListener&) = delete;

    int port() const { return m_port; }

private:
    int m_listener = -1;
    int m_queued = -1;
    int m_port = -1;
};

} // namespace quill::test
