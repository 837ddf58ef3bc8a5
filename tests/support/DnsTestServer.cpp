#include "support/DnsTestServer.h"

#include "verify/IpAddress.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <deque>
#include <stdexcept>

namespace quill::test {
namespace {

constexpr int kTypeA = 1;
constexpr int kTypePtr = 12;
constexpr int kTypeAaaa = 28;

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    if (text.ends_with('.'))
        text.pop_back();
    return text;
}

void put16(std::string& out, unsigned value)
{
    out += static_cast<char>((value >> 8) & 0xFF);
    out += static_cast<char>(value & 0xFF);
}

std::string encodeName(const std::string& name)
{
    std::string out;
    size_t start = 0;
    while (start < name.size()) {
        size_t dot = name.find('.', start);
        if (dot == std::string::npos)
            dot = name.size();
        out += static_cast<char>(dot - start);
        out += name.substr(start, dot - start);
        start = dot + 1;
    }
    return out + '\0';
}

// The question's name (lower case), type and the end of the question; false for a query that
// does not parse.
bool readQuestion(const std::string& query, std::string& name, int& type, size_t& end)
{
    if (query.size() < 12)
        return false;
    size_t pos = 12;
    name.clear();
    while (pos < query.size()) {
        const auto length = static_cast<unsigned char>(query[pos++]);
        if (length == 0)
            break;
        if (length > 63 || pos + length > query.size())
            return false;
        if (!name.empty())
            name += '.';
        name += query.substr(pos, length);
        pos += length;
    }
    if (pos + 4 > query.size())
        return false;
    type = static_cast<unsigned char>(query[pos]) << 8 | static_cast<unsigned char>(query[pos + 1]);
    end = pos + 4;
    name = lower(name);
    return true;
}

} // namespace

DnsTestServer::DnsTestServer()
{
    m_socket = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (m_socket < 0 || bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("DnsTestServer: no loopback socket");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { serve(); });
}

DnsTestServer::~DnsTestServer()
{
    m_stop = true;
    m_thread.join();
    close(m_socket);
}

std::string DnsTestServer::address() const
{
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string DnsTestServer::nameKey(const std::string& nameOrIp)
{
    if (auto ip = parseIpAddress(nameOrIp))
        return reverseLookupName(*ip);
    return lower(nameOrIp);
}

void DnsTestServer::addPtr(const std::string& ip, std::vector<std::string> hosts)
{
    std::lock_guard lock(m_mutex);
    m_names.insert(nameKey(ip));
    auto& rdata = m_records[{nameKey(ip), kTypePtr}];
    for (const std::string& host : hosts)
        rdata.push_back(encodeName(host));
}

void DnsTestServer::addAddresses(const std::string& host, std::vector<std::string> addresses)
{
    std::lock_guard lock(m_mutex);
    for (const std::string& text : addresses) {
        m_names.insert(nameKey(host));
        const auto ip = parseIpAddress(text);
        if (!ip)
            throw std::invalid_argument("DnsTestServer: not an address: " + text);
        auto& rdata = m_records[{nameKey(host), ip->v6 ? kTypeAaaa : kTypeA}];
        rdata.emplace_back(reinterpret_cast<const char*>(ip->bytes.data()), ip->v6 ? 16 : 4);
    }
}

void DnsTestServer::setBehaviour(const std::string& name, Behaviour behaviour)
{
    std::lock_guard lock(m_mutex);
    m_behaviours[nameKey(name)] = behaviour;
}

void DnsTestServer::setDelay(std::chrono::milliseconds delay)
{
    std::lock_guard lock(m_mutex);
    m_delay = delay;
}

std::string DnsTestServer::reply(const std::string& query)
{
    std::string name;
    int type = 0;
    size_t questionEnd = 0;
    if (!readQuestion(query, name, type, questionEnd))
        return {};
    std::lock_guard lock(m_mutex);
    auto behaviour = m_behaviours.count(name) ? m_behaviours[name] : Behaviour::Answer;
    if (behaviour == Behaviour::Silent)
        return {};
    if (behaviour == Behaviour::Garbage)
        return std::string("\x13\x37garbage that is no DNS message", 32);

    const bool nameKnown = m_names.count(name) > 0;
    const auto records = m_records.find({name, type});
    unsigned rcode = 0;
    if (behaviour == Behaviour::ServFail)
        rcode = 2;
    else if (behaviour == Behaviour::NxDomain || !nameKnown)
        rcode = 3;
    const std::vector<std::string> none;
    const auto& answers = rcode == 0 && records != m_records.end() ? records->second : none;

    std::string out = query.substr(0, 2); // the id
    unsigned flags = 0x8180 | rcode;       // a response, recursion desired and available
    if (behaviour == Behaviour::Truncated)
        flags |= 0x0200;
    put16(out, flags);
    put16(out, 1);
    put16(out, behaviour == Behaviour::Truncated ? 0 : static_cast<unsigned>(answers.size()));
    put16(out, 0);
    put16(out, 0);
    out += query.substr(12, questionEnd - 12);
    if (behaviour == Behaviour::Truncated)
        return out;
    if (behaviour == Behaviour::Malformed) {
        // Claims one answer and stops in the middle of it.
        out[7] = 1;
        out += "\xC0\x0C";
        put16(out, static_cast<unsigned>(type));
        return out;
    }
    for (const std::string& rdata : answers) {
        out += "\xC0\x0C"; // the question's name
        put16(out, static_cast<unsigned>(type));
        put16(out, 1);
        put16(out, 0);
        put16(out, 300);
        put16(out, static_cast<unsigned>(rdata.size()));
        out += rdata;
    }
    return out;
}

void DnsTestServer::dropAfterReplies(size_t replies) { m_repliesLeft = replies; }

void DnsTestServer::serve()
{
    std::deque<Pending> pending;
    std::vector<char> buffer(4096);
    while (!m_stop) {
        const auto now = std::chrono::steady_clock::now();
        while (!pending.empty() && pending.front().due <= now) {
            const Pending& next = pending.front();
            sendto(m_socket, next.reply.data(), next.reply.size(), 0,
                   reinterpret_cast<const sockaddr*>(next.peer.data()), static_cast<socklen_t>(next.peer.size()));
            pending.pop_front();
        }
        pollfd fd{m_socket, POLLIN, 0};
        if (poll(&fd, 1, pending.empty() ? 20 : 1) <= 0)
            continue;
        sockaddr_storage peer{};
        socklen_t peerLength = sizeof peer;
        const ssize_t got = recvfrom(m_socket, buffer.data(), buffer.size(), 0,
                                     reinterpret_cast<sockaddr*>(&peer), &peerLength);
        if (got <= 0)
            continue;
        ++m_received;
        std::string answer = reply(std::string(buffer.data(), static_cast<size_t>(got)));
        if (answer.empty() || m_repliesLeft == 0)
            continue;
        if (m_repliesLeft != SIZE_MAX)
            --m_repliesLeft;
        std::chrono::milliseconds delay;
        {
            std::lock_guard lock(m_mutex);
            delay = m_delay;
        }
        const auto* peerBytes = reinterpret_cast<const std::uint8_t*>(&peer);
        pending.push_back({std::chrono::steady_clock::now() + delay, std::move(answer),
                           std::vector<std::uint8_t>(peerBytes, peerBytes + peerLength)});
    }
}

int closedUdpPort()
{
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

} // namespace quill::test
