#pragma once
// A plain TCP server on 127.0.0.1 at a free port: it answers each request (bytes up to a blank
// line) with scripted pieces, and keeps every byte the clients sent.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quill::test {

class RawTcpServer {
public:
    // The first piece goes out when a request is complete, each later one after releaseNext().
    // With `closeAfter` the server closes the connection after the last piece.
    RawTcpServer(std::vector<std::string> pieces, bool closeAfter);
    ~RawTcpServer();
    RawTcpServer(const RawTcpServer&) = delete;
    RawTcpServer& operator=(const RawTcpServer&) = delete;

    int port() const { return m_port; }
    // All bytes received so far, over every connection.
    std::string received();
    int connections();
    void releaseNext();

private:
    void serve();
    void answer(int client);
    bool readRequest(int client);

    std::vector<std::string> m_pieces;
    bool m_closeAfter;
    int m_listener = -1;
    int m_port = -1;
    std::atomic<bool> m_stop{false};
    std::mutex m_mutex;
    std::condition_variable m_released;
    int m_releases = 0;
    int m_connections = 0;
    std::string m_received;
    std::thread m_thread;
};

} // namespace quill::test
