#pragma once
// The crawler check the engines publish: the PTR name of the client address must lie in the
// engine's domains, and a forward lookup of that name must give the address back. Many checks run
// at once over one asynchronous resolver.

#include "verify/DnsResolver.h"
#include "verify/VerdictCache.h"
#include "verify/Verdict.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quill {

struct VerificationRequest {
    std::string address; // as the log wrote it
    int crawlerRow = 0;  // crawler table row the line was named by

    bool operator==(const VerificationRequest&) const = default;
};

struct VerificationResult {
    Verdict verdict = Verdict::None;
    std::vector<std::string> names;     // PTR names seen
    std::vector<std::string> addresses; // addresses the in-domain names resolved to
    bool fromCache = false;
};

struct VerifierOptions {
    DnsOptions dns;
    size_t maxInFlight = 64; // checks asked at the same time
    std::function<std::int64_t()> now = secondsNow;
    // An earlier run found the server down: nothing is asked, checks the cache cannot answer are 未知.
    bool dnsKnownDown = false;
};

struct VerificationRun {
    std::vector<VerificationResult> results; // one per request, in request order
    // Why checks went unasked, for stderr and the page: a bad server setting, or a server that
    // stopped answering (dnsDown); success otherwise.
    Status status;
    bool dnsDown = false;   // the server went silent: the checks still open ended 未知 at once
    size_t checked = 0;     // distinct checks that asked the DNS
    size_t peakInFlight = 0;
    bool cancelled = false;
};

// Verifies every request. Requests for the same address and crawler are checked once; known
// verdicts come from `cache`, new ones go into it. `progress(done, total)` counts requests answered
// and runs on the calling thread. Once `stop` is set no new check starts, the running ones are
// dropped and their requests stay at Verdict::None. A server that answers none of the first
// checks, or leaves many in a row unanswered after answering, counts as down: every check still
// open, running or not yet asked, is 未知 at once.
VerificationRun verifyCrawlers(const std::vector<VerificationRequest>& requests, const VerifierOptions& options,
                               VerdictCache& cache, const std::atomic<bool>& stop,
                               const std::function<void(size_t done, size_t total)>& progress = {});

// The verdict of the check once its answers are in: the rule itself, kept apart from the DNS.
// `forward` holds, for each in-domain PTR name that was looked up, its answer.
Verdict verdictOf(const DnsAnswer& ptr, int crawlerRow, const std::vector<DnsAnswer>& forward,
                  const IpAddress& address);

} // namespace quill
