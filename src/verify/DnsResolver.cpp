#include "verify/DnsResolver.h"

#include <ares.h>
#include <arpa/nameser.h>
#include <netdb.h>
#include <poll.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace quill {

namespace {

// "IPv4:port" or "[IPv6]:port", the port from 1 to 65535: all that a server setting may be.
bool isServerAddress(std::string_view server)
{
    const size_t colon = server.rfind(':');
    if (colon == std::string_view::npos)
        return false;
    const std::string_view port = server.substr(colon + 1);
    int number = 0;
    const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
    if (port.empty() || port.size() > 5 || error != std::errc() || end != port.data() + port.size() ||
        number < 1 || number > 65535 || port.front() == '+' || port.front() == '-')
        return false;
    std::string_view host = server.substr(0, colon);
    const bool bracketed = host.size() > 2 && host.front() == '[' && host.back() == ']';
    if (bracketed)
        host = host.substr(1, host.size() - 2);
    if (host.find(':') != std::string_view::npos && !bracketed)
        return false;
    return parseIpAddress(host).has_value();
}

} // namespace

DnsOptions dnsOptionsFromEnvironment()
{
    DnsOptions options;
    if (const char* server = std::getenv("QUILLMARK_DNS_SERVER"); server && *server)
        options.server = server;
    return options;
}

struct DnsResolver::Impl {
    struct Query {
        Impl* owner;
        std::string name;
        int type;
        IpAddress ptrAddress; // the address a PTR query asks for
        Callback callback;
        int attemptsLeft;
    };

    ares_channel channel = nullptr;
    int attempts = 2;
    int pending = 0;
    bool anyReply = false;
    bool destroying = false;

    ~Impl()
    {
        destroying = true;
        if (channel)
            ares_destroy(channel); // runs every pending callback with ARES_EDESTRUCTION
    }

    void send(Query* query)
    {
        ares_query(channel, query->name.c_str(), ns_c_in, query->type, &Impl::answered, query);
    }

    static void answered(void* arg, int status, int /*timeouts*/, unsigned char* abuf, int alen)
    {
        auto* query = static_cast<Query*>(arg);
        Impl* self = query->owner;
        if (status == ARES_EDESTRUCTION || self->destroying) {
            delete query;
            return;
        }
        if (status == ARES_ETIMEOUT && --query->attemptsLeft > 0) {
            self->send(query);
            return;
        }
        std::unique_ptr<Query> owned(query);
        --self->pending;
        DnsAnswer answer = decode(*query, status, abuf, alen);
        if (answer.outcome != DnsOutcome::TimedOut && answer.outcome != DnsOutcome::Unreachable)
            self->anyReply = true;
        query->callback(answer);
    }

    static DnsAnswer decode(const Query& query, int status, const unsigned char* abuf, int alen)
    {
        DnsAnswer answer;
        // A truncated reply lacks records that did not fit; it proves nothing either way.
        if (abuf && alen >= 3 && (abuf[2] & 0x02)) {
            answer.outcome = DnsOutcome::Failed;
            return answer;
        }
        switch (status) {
        case ARES_SUCCESS:
            break;
        case ARES_ENOTFOUND:
            answer.outcome = DnsOutcome::NoName;
            return answer;
        case ARES_ENODATA:
            answer.outcome = DnsOutcome::NoData;
            return answer;
        case ARES_ETIMEOUT:
            answer.outcome = DnsOutcome::TimedOut;
            return answer;
        case ARES_ECONNREFUSED:
            answer.outcome = DnsOutcome::Unreachable;
            return answer;
        default:
            answer.outcome = DnsOutcome::Failed;
            return answer;
        }
        hostent* host = nullptr;
        int parsed = ARES_EBADRESP;
        if (query.type == ns_t_ptr) {
            const bool v6 = query.ptrAddress.v6;
            parsed = ares_parse_ptr_reply(abuf, alen, query.ptrAddress.bytes.data(), v6 ? 16 : 4,
                                          v6 ? AF_INET6 : AF_INET, &host);
        } else if (query.type == ns_t_a) {
            parsed = ares_parse_a_reply(abuf, alen, &host, nullptr, nullptr);
        } else {
            parsed = ares_parse_aaaa_reply(abuf, alen, &host, nullptr, nullptr);
        }
        if (parsed == ARES_ENODATA) {
            answer.outcome = DnsOutcome::NoData;
        } else if (parsed != ARES_SUCCESS || !host) {
            answer.outcome = DnsOutcome::Failed;
        } else {
            answer.outcome = DnsOutcome::Answer;
            collect(query, *host, answer);
        }
        if (host)
            ares_free_hostent(host);
        return answer;
    }

    static void collect(const Query& query, const hostent& host, DnsAnswer& answer)
    {
        if (query.type == ns_t_ptr) {
            auto add = [&](const char* name) {
                std::string text = name ? name : "";
                if (text.ends_with('.'))
                    text.pop_back();
                if (!text.empty() && std::find(answer.names.begin(), answer.names.end(), text) == answer.names.end())
                    answer.names.push_back(std::move(text));
            };
            add(host.h_name);
            for (char** alias = host.h_aliases; alias && *alias; ++alias)
                add(*alias);
            if (answer.names.empty())
                answer.outcome = DnsOutcome::NoData;
            return;
        }
        const bool v6 = query.type == ns_t_aaaa;
        const int length = v6 ? 16 : 4;
        if (host.h_length != length)
            return;
        for (char** entry = host.h_addr_list; entry && *entry; ++entry) {
            IpAddress address;
            address.v6 = v6;
            std::memcpy(address.bytes.data(), *entry, static_cast<size_t>(length));
            answer.addresses.push_back(address);
        }
        if (answer.addresses.empty())
            answer.outcome = DnsOutcome::NoData;
    }

    void add(std::string name, int type, const IpAddress& ptrAddress, Callback callback)
    {
        ++pending;
        send(new Query{this, std::move(name), type, ptrAddress, std::move(callback), attempts});
    }
};

Result<std::unique_ptr<DnsResolver>> DnsResolver::create(const DnsOptions& options)
{
    static std::once_flag initialised;
    static int initStatus = ARES_SUCCESS;
    std::call_once(initialised, [] { initStatus = ares_library_init(ARES_LIB_INIT_ALL); });
    if (initStatus != ARES_SUCCESS)
        return Status::failure(std::string("DNS: ") + ares_strerror(initStatus));

    auto impl = std::make_unique<Impl>();
    impl->attempts = std::max(1, options.attempts);
    ares_options aresOptions{};
    // One attempt per c-ares query with a fixed time-out; the retry is ours, so it waits as long as
    // the first try instead of twice as long.
    aresOptions.timeout = std::max(1, options.timeoutMs);
    aresOptions.tries = 1;
    // Truncated replies are not retried over TCP: a refused TCP connection would fail every query
    // in flight to that server, and the answers needed here fit a datagram.
    aresOptions.flags = ARES_FLAG_NOSEARCH | ARES_FLAG_NOALIASES | ARES_FLAG_IGNTC;
    char lookups[] = "b"; // DNS only, never the hosts file
    aresOptions.lookups = lookups;
    const int mask = ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_FLAGS | ARES_OPT_LOOKUPS;
    if (int status = ares_init_options(&impl->channel, &aresOptions, mask); status != ARES_SUCCESS) {
        impl->channel = nullptr;
        return Status::failure(std::string("DNS: ") + ares_strerror(status));
    }
    if (!options.server.empty()) {
        const bool bad = !isServerAddress(options.server) ||
                         ares_set_servers_ports_csv(impl->channel, options.server.c_str()) != ARES_SUCCESS;
        if (bad)
            return Status::failure("DNS server address is not address:port: " + options.server.substr(0, 64) +
                                   (options.server.size() > 64 ? "..." : ""));
    }
    return std::unique_ptr<DnsResolver>(new DnsResolver(std::move(impl)));
}

DnsResolver::DnsResolver(std::unique_ptr<Impl> impl) : m_impl(std::move(impl)) {}
DnsResolver::~DnsResolver() = default;

void DnsResolver::lookupPtr(const IpAddress& address, Callback callback)
{
    m_impl->add(reverseLookupName(address), ns_t_ptr, address, std::move(callback));
}

void DnsResolver::lookupAddresses(const std::string& host, bool v6, Callback callback)
{
    m_impl->add(host, v6 ? ns_t_aaaa : ns_t_a, IpAddress{}, std::move(callback));
}

void DnsResolver::run(int maxWaitMs)
{
    ares_socket_t sockets[ARES_GETSOCK_MAXNUM];
    const int bits = ares_getsock(m_impl->channel, sockets, ARES_GETSOCK_MAXNUM);
    pollfd fds[ARES_GETSOCK_MAXNUM];
    nfds_t count = 0;
    for (int i = 0; i < ARES_GETSOCK_MAXNUM; ++i) {
        const bool readable = ARES_GETSOCK_READABLE(bits, i);
        const bool writable = ARES_GETSOCK_WRITABLE(bits, i);
        if (!readable && !writable)
            continue;
        fds[count++] = pollfd{sockets[i], static_cast<short>((readable ? POLLIN : 0) | (writable ? POLLOUT : 0)), 0};
    }
    timeval limit{maxWaitMs / 1000, (maxWaitMs % 1000) * 1000};
    timeval wait{};
    const timeval* next = ares_timeout(m_impl->channel, &limit, &wait);
    const int waitMs = static_cast<int>(next->tv_sec * 1000 + (next->tv_usec + 999) / 1000);
    const int ready = poll(fds, count, waitMs);
    if (ready <= 0) {
        ares_process_fd(m_impl->channel, ARES_SOCKET_BAD, ARES_SOCKET_BAD); // time-outs
        return;
    }
    for (nfds_t i = 0; i < count; ++i) {
        const short events = fds[i].revents;
        if (!events)
            continue;
        const ares_socket_t readFd = events & (POLLIN | POLLERR | POLLHUP) ? fds[i].fd : ARES_SOCKET_BAD;
        const ares_socket_t writeFd = events & POLLOUT ? fds[i].fd : ARES_SOCKET_BAD;
        ares_process_fd(m_impl->channel, readFd, writeFd);
    }
}

int DnsResolver::pending() const
{
    return m_impl->pending;
}

bool DnsResolver::anyReply() const
{
    return m_impl->anyReply;
}

} // namespace quill
