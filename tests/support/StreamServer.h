#pragma once
// A raw HTTP server on 127.0.0.1 for the answers a client must survive: none at all, one byte at
// a time, a body without end, a body of a given size. It serves one connection at a time.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace quill::test {

class StreamServer {
public:
    enum class Mode {
        Silent,  // reads the request and never answers
        Trickle, // a status line, then header lines without end, one byte every `interval`
        Endless, // a 200 whose body never ends
        Sized,   // a 200 with a Content-Length of `size` bytes
    };

    explicit StreamServer(Mode mode, std::chrono::milliseconds interval = std::chrono::milliseconds(0),
                          std::uint64_t size = 0, std::string contentType = "text/html");
    ~StreamServer();
    StreamServer(const StreamServer&) = delete;
    StreamServer& operator=(const StreamServer&) = delete;

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const;
    // Bytes written to clients so far.
    std::uint64_t sent() const { return m_sent; }

private:
    void serve();
    void answer(int client);
    bool sendAll(int client, const char* data, std::size_t size);

    Mode m_mode;
    std::chrono::milliseconds m_interval;
    std::uint64_t m_size;
    std::string m_contentType;
    int m_listener = -1;
    int m_port = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_sent{0};
    std::thread m_thread;
};

} // namespace quill::test
