#pragma once
// A DNS server on 127.0.0.1 (UDP, a free port) answering from a table of PTR, A and AAAA records;
// a name can be made to answer late, stay silent, fail, or send a truncated, malformed or
// garbage reply.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace quill::test {

class DnsTestServer {
public:
    enum class Behaviour { Answer, NxDomain, ServFail, Silent, Truncated, Malformed, Garbage };

    DnsTestServer();
    ~DnsTestServer();
    DnsTestServer(const DnsTestServer&) = delete;
    DnsTestServer& operator=(const DnsTestServer&) = delete;

    // "127.0.0.1:port", as QUILLMARK_DNS_SERVER takes it.
    std::string address() const;

    // PTR records of `ip` (its reverse name is formed here); an empty list answers NODATA.
    void addPtr(const std::string& ip, std::vector<std::string> hosts);
    // A or AAAA records of `host`, by the form of each address.
    void addAddresses(const std::string& host, std::vector<std::string> addresses);
    // How queries for `name` (a host, or an address for its PTR) are answered from now on.
    void setBehaviour(const std::string& name, Behaviour behaviour);
    // Every answer waits this long before it is sent.
    void setDelay(std::chrono::milliseconds delay);
    // After this many more replies, every query goes unanswered: a server that answers once and
    // then drops.
    void dropAfterReplies(size_t replies);

    size_t queriesReceived() const { return m_received; }

private:
    struct Pending {
        std::chrono::steady_clock::time_point due;
        std::string reply;
        std::vector<std::uint8_t> peer; // sockaddr bytes
    };
    void serve();
    std::string reply(const std::string& query);
    static std::string nameKey(const std::string& nameOrIp);

    int m_socket = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<size_t> m_received{0};
    std::mutex m_mutex;
    std::map<std::pair<std::string, int>, std::vector<std::string>> m_records; // (name, type) -> rdata
    std::set<std::string> m_names;
    std::map<std::string, Behaviour> m_behaviours;
    std::chrono::milliseconds m_delay{0};
    std::atomic<size_t> m_repliesLeft{SIZE_MAX};
    std::thread m_thread;
};

// A UDP port on loopback with nobody behind it: the kernel refuses every query sent there.
int closedUdpPort();

} // namespace quill::test
