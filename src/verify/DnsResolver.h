#pragma once
// Asynchronous DNS queries (c-ares behind a pimpl): PTR, A and AAAA questions are sent at once
// and answered through callbacks while the owner drives the event loop with run().

#include "platform/Status.h"
#include "verify/IpAddress.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill {

struct DnsOptions {
    std::string server; // "address:port" ("[::1]:53" for IPv6); empty: the system's configuration
    int timeoutMs = 3000; // per attempt
    int attempts = 2;     // the first try and one retry, each with the full time-out
};

// The server from QUILLMARK_DNS_SERVER, if set, with the default time-outs.
DnsOptions dnsOptionsFromEnvironment();

enum class DnsOutcome {
    Answer,      // records of the asked type
    NoName,      // NXDOMAIN
    NoData,      // the name exists without records of the type
    Failed,      // SERVFAIL, REFUSED, a reply that does not parse
    TimedOut,    // every attempt went unanswered
    Unreachable, // the server refused the connection or could not be reached
};

struct DnsAnswer {
    DnsOutcome outcome = DnsOutcome::Failed;
    std::vector<std::string> names;       // PTR: the host names, without a final dot
    std::vector<IpAddress> addresses;     // A / AAAA
};

class DnsResolver {
public:
    using Callback = std::function<void(const DnsAnswer&)>;

    // Fails with a message when the options name no usable server.
    static Result<std::unique_ptr<DnsResolver>> create(const DnsOptions& options);
    // Pending callbacks are dropped without being called.
    ~DnsResolver();
    DnsResolver(const DnsResolver&) = delete;
    DnsResolver& operator=(const DnsResolver&) = delete;

    // The callback runs once, inside run(), or at once when the query cannot even be sent.
    void lookupPtr(const IpAddress& address, Callback callback);
    void lookupAddresses(const std::string& host, bool v6, Callback callback);

    // Waits up to `maxWaitMs` for replies or time-outs and runs the callbacks of finished queries.
    void run(int maxWaitMs);

    int pending() const;
    // Whether any query has been answered by a server at all (whatever the answer said).
    bool anyReply() const;

private:
    struct Impl;
    explicit DnsResolver(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> m_impl;
};

} // namespace quill
