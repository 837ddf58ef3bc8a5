#pragma once
// The crawler check the operators publish: an address in a list of the claimed crawler, or the PTR
// name of the address inside the crawler's domains with a forward lookup of that name giving the
// address back. Many DNS checks run at once over one asynchronous resolver.

#include "crawlers/CrawlerRegistry.h"
#include "verify/AddressLists.h"
#include "verify/DnsResolver.h"
#include "verify/VerdictCache.h"
#include "verify/Verdict.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace quill {

struct VerificationRequest {
    std::string address;           // as the log wrote it
    CrawlerId crawler = kNoCrawler; // the crawler the visit claims

    bool operator==(const VerificationRequest&) const = default;
};

struct VerificationResult {
    Verdict verdict = Verdict::None;
    std::vector<std::string> names;     // PTR names seen
    std::vector<std::string> addresses; // addresses the in-domain names resolved to
    bool fromCache = false;
    int list = -1; // the published list that decided, or -1
};

struct VerifierOptions {
    DnsOptions dns;
    size_t maxInFlight = 64; // checks asked at the same time
    std::function<std::int64_t()> now = secondsNow;
    std::shared_ptr<const AddressLists> lists; // none: DNS alone
    // An earlier run found the server down: nothing is asked, checks the cache cannot answer are 未知.
    bool dnsKnownDown = false;
};

struct VerificationRun {
    std::vector<VerificationResult> results; // one per request, in request order
    // Why checks went unasked, for stderr and the page: a bad server setting, or a server that
    // stopped answering (dnsDown); success otherwise.
    Status status;
    bool dnsDown = false;   // the server went silent: the checks still open ended 未知 at once
    bool noReply = false;   // the DNS was asked and nothing at all came back (silent or refused)
    size_t checked = 0;     // distinct checks that asked the DNS
    size_t peakInFlight = 0;
    bool cancelled = false;
};

// Verifies every request. A claimed crawler without any published check is 无法验证. The lists
// decide first, without a query: an address in one of the crawler's lists is 已验证, one only in
// another crawler's fresh list 伪装, and for a crawler checked by lists alone, one outside all of
// its lists 伪装 when they are fresh and 未知 when one is old or missing. Otherwise the DNS decides.
// Requests for the same address and crawler are checked once; known DNS verdicts come from
// `cache`, new ones go into it. `progress(done, total)` counts requests answered
// and runs on the calling thread. Once `stop` is set no new check starts, the running ones are
// dropped and their requests stay at Verdict::None. A server that answers none of the first
// checks, or leaves many in a row unanswered after answering, counts as down: every check still
// open, running or not yet asked, is 未知 at once.
VerificationRun verifyCrawlers(const std::vector<VerificationRequest>& requests, const VerifierOptions& options,
                               VerdictCache& cache, const std::atomic<bool>& stop,
                               const std::function<void(size_t done, size_t total)>& progress = {});

// The verdict of the check once its answers are in: the rule itself, kept apart from the DNS.
// `forward` holds, for each in-domain PTR name that was looked up, its answer.
Verdict verdictOf(const DnsAnswer& ptr, CrawlerId crawler, const std::vector<DnsAnswer>& forward,
                  const IpAddress& address);

} // namespace quill
