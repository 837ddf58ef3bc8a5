#include "verify/CrawlerVerifier.h"

#include "platform/CodePage.h"
#include "verify/CrawlerDomains.h"

#include <algorithm>
#include <map>
#include <memory>

namespace quill {
namespace {

// A PTR set may name many hosts; every one in the engine's domains is looked up, up to this many.
// An address whose owner lists more in-domain names than any operator does is not verified.
constexpr size_t kForwardLookupLimit = 16;
// Time-outs or refusals before the first reply of any kind that mean no DNS is reachable.
constexpr size_t kSilentFailuresBeforeGivingUp = 8;
// Time-outs or refusals in a row, with no reply between them, after which a server that did
// answer counts as gone: a lost datagram is retried, so each of these is two losses.
constexpr size_t kSilentFailuresInARow = 32;
constexpr int kPollSliceMs = 50;

// What a run says when its server stopped answering (GBK).
std::string dnsDownText(size_t unanswered)
{
    return gbk("DNS 服务器没有回答，视为不可用：其余 ") + std::to_string(unanswered) + gbk(" 个地址记为未知");
}

bool noAnswer(DnsOutcome outcome)
{
    return outcome == DnsOutcome::TimedOut || outcome == DnsOutcome::Failed || outcome == DnsOutcome::Unreachable;
}

std::vector<std::string> inDomainNames(const DnsAnswer& ptr, CrawlerId crawler)
{
    const std::vector<std::string>& domains = crawlerEntry(crawler).domains;
    std::vector<std::string> names;
    for (const std::string& name : ptr.names)
        if (names.size() < kForwardLookupLimit && hostInDomains(name, domains))
            names.push_back(name);
    return names;
}

// What the lists say, when they settle the verdict without the DNS.
std::optional<Verdict> listVerdict(const AddressLists* lists, const IpAddress& address, const CrawlerEntry& crawler,
                                   std::int64_t now)
{
    if (!lists) {
        if (crawler.domains.empty())
            return Verdict::Unknown; // a crawler of lists alone, and no list at hand
        return std::nullopt;
    }
    switch (lists->judge(address, crawler, now)) {
    case ListFinding::InOwnList: return Verdict::Verified;
    case ListFinding::InOtherList:
    case ListFinding::OutsideFreshLists: return Verdict::Fake;
    case ListFinding::Undecided: break;
    }
    return crawler.domains.empty() ? std::optional(Verdict::Unknown) : std::nullopt;
}

// The list that holds the address, for the record of how a verdict came about.
int decidingList(const AddressLists* lists, const IpAddress& address, const CrawlerEntry& crawler)
{
    if (!lists)
        return -1;
    const AddressPrefixSet::Lists holding = lists->listsHolding(address);
    for (int index : crawler.lists)
        if (holding >> index & 1)
            return index;
    for (int index = 0; index < 32; ++index)
        if (holding >> index & 1)
            return index;
    return -1;
}

// One distinct check in flight: its PTR answer, then one forward answer per in-domain name.
struct Check {
    size_t index = 0; // into the distinct checks
    IpAddress address;
    CrawlerId crawler = kNoCrawler;
    DnsAnswer ptr;
    std::vector<DnsAnswer> forward;
    size_t forwardLeft = 0;
};

} // namespace

Verdict verdictOf(const DnsAnswer& ptr, CrawlerId crawler, const std::vector<DnsAnswer>& forward,
                  const IpAddress& address)
{
    if (crawler == kNoCrawler || crawlerEntry(crawler).domains.empty())
        return Verdict::NotVerifiable;
    if (noAnswer(ptr.outcome))
        return Verdict::Unknown;
    // A missing PTR record or one outside the domains: the address owner did not claim the engine.
    if (ptr.outcome != DnsOutcome::Answer || inDomainNames(ptr, crawler).empty())
        return Verdict::Fake;
    bool unanswered = false;
    for (const DnsAnswer& answer : forward) {
        if (std::find(answer.addresses.begin(), answer.addresses.end(), address) != answer.addresses.end())
            return Verdict::Verified;
        unanswered = unanswered || noAnswer(answer.outcome);
    }
    return unanswered ? Verdict::Unknown : Verdict::Fake;
}

VerificationRun verifyCrawlers(const std::vector<VerificationRequest>& requests, const VerifierOptions& options,
                               VerdictCache& cache, const std::atomic<bool>& stop,
                               const std::function<void(size_t, size_t)>& progress)
{
    VerificationRun run;
    run.results.resize(requests.size());

    // Distinct checks by canonical address and crawler; requests point at them.
    struct Distinct {
        std::string address; // canonical
        IpAddress parsed;
        CrawlerId crawler;
        VerificationResult result;
        bool open = true;
        size_t requests = 0; // how many requests wait for this check
    };
    std::vector<Distinct> distinct;
    std::vector<size_t> checkOf(requests.size(), SIZE_MAX);
    std::map<std::pair<std::string, CrawlerId>, size_t> seen;
    size_t done = 0; // requests answered, which progress counts
    for (size_t i = 0; i < requests.size(); ++i) {
        const VerificationRequest& request = requests[i];
        if (request.crawler == kNoCrawler || !crawlerEntry(request.crawler).verifiable()) {
            run.results[i].verdict = request.crawler ? Verdict::NotVerifiable : Verdict::None;
            ++done;
            continue;
        }
        const auto address = parseIpAddress(request.address);
        if (!address) {
            run.results[i].verdict = Verdict::Unknown; // nothing to ask about
            ++done;
            continue;
        }
        const std::string text = ipAddressText(*address);
        auto [it, added] = seen.try_emplace({text, request.crawler}, distinct.size());
        if (added)
            distinct.push_back(Distinct{text, *address, request.crawler, {}, true, 0});
        ++distinct[it->second].requests;
        checkOf[i] = it->second;
    }

    const std::int64_t startedAt = options.now();
    const size_t total = requests.size();
    std::vector<size_t> toAsk;
    for (size_t i = 0; i < distinct.size(); ++i) {
        const CrawlerEntry& crawler = crawlerEntry(distinct[i].crawler);
        if (auto byList = listVerdict(options.lists.get(), distinct[i].parsed, crawler, startedAt)) {
            distinct[i].result.verdict = *byList;
            distinct[i].result.list = decidingList(options.lists.get(), distinct[i].parsed, crawler);
            distinct[i].open = false;
            done += distinct[i].requests;
        } else if (auto known = cache.find(distinct[i].address, distinct[i].crawler, startedAt)) {
            distinct[i].result.verdict = *known;
            distinct[i].result.fromCache = true;
            distinct[i].open = false;
            done += distinct[i].requests;
        } else {
            toAsk.push_back(i);
        }
    }
    if (progress)
        progress(done, total);

    auto finish = [&](Distinct& check, Verdict verdict) {
        check.result.verdict = verdict;
        check.open = false;
        cache.remember(check.address, check.crawler, verdict, options.now());
        done += check.requests;
    };

    if (!toAsk.empty() && options.dnsKnownDown) {
        run.dnsDown = true;
        run.status = Status::failure(dnsDownText(toAsk.size()));
        for (size_t i : toAsk)
            finish(distinct[i], Verdict::Unknown);
    } else if (!toAsk.empty()) {
        auto resolver = DnsResolver::create(options.dns);
        if (!resolver) {
            run.status = resolver.status();
            for (size_t i : toAsk)
                finish(distinct[i], Verdict::Unknown);
        } else {
            DnsResolver& dns = *resolver.value();
            size_t next = 0;
            size_t inFlight = 0;
            size_t silentFailures = 0;
            size_t silentInARow = 0;
            auto noteOutcome = [&](DnsOutcome outcome) {
                const bool silent = outcome == DnsOutcome::TimedOut || outcome == DnsOutcome::Unreachable;
                silentFailures += silent ? 1 : 0;
                silentInARow = silent ? silentInARow + 1 : 0;
            };
            auto serverDown = [&] {
                return dns.anyReply() ? silentInARow >= kSilentFailuresInARow
                                      : silentFailures >= kSilentFailuresBeforeGivingUp;
            };
            auto complete = [&](const std::shared_ptr<Check>& check) {
                Distinct& target = distinct[check->index];
                target.result.names = check->ptr.names;
                for (const DnsAnswer& answer : check->forward)
                    for (const IpAddress& address : answer.addresses)
                        target.result.addresses.push_back(ipAddressText(address));
                finish(target, verdictOf(check->ptr, check->crawler, check->forward, check->address));
                --inFlight;
            };
            auto start = [&](size_t index) {
                auto check = std::make_shared<Check>();
                check->index = index;
                check->address = distinct[index].parsed;
                check->crawler = distinct[index].crawler;
                ++inFlight;
                run.peakInFlight = std::max(run.peakInFlight, inFlight);
                ++run.checked;
                dns.lookupPtr(check->address, [&, check](const DnsAnswer& ptr) {
                    noteOutcome(ptr.outcome);
                    check->ptr = ptr;
                    const auto names = ptr.outcome == DnsOutcome::Answer ? inDomainNames(ptr, check->crawler)
                                                                         : std::vector<std::string>{};
                    if (names.empty()) {
                        complete(check);
                        return;
                    }
                    check->forward.resize(names.size());
                    check->forwardLeft = names.size();
                    for (size_t n = 0; n < names.size(); ++n)
                        dns.lookupAddresses(names[n], check->address.v6, [&, check, n](const DnsAnswer& answer) {
                            noteOutcome(answer.outcome);
                            check->forward[n] = answer;
                            if (--check->forwardLeft == 0)
                                complete(check);
                        });
                });
            };
            size_t lastReported = done;
            while (!stop && !run.dnsDown) {
                while (inFlight < options.maxInFlight && next < toAsk.size() && !stop)
                    start(toAsk[next++]);
                if (inFlight == 0 && next == toAsk.size())
                    break;
                dns.run(kPollSliceMs);
                run.dnsDown = serverDown();
                if (progress && done != lastReported) {
                    lastReported = done;
                    progress(done, total);
                }
            }
            run.cancelled = stop;
            run.noReply = run.checked > 0 && !dns.anyReply();
            if (!run.cancelled) {
                size_t unanswered = 0;
                for (size_t i : toAsk) {
                    if (distinct[i].open) {
                        finish(distinct[i], Verdict::Unknown); // running or never asked: the server is gone
                        ++unanswered;
                    }
                }
                if (run.dnsDown)
                    run.status = Status::failure(dnsDownText(unanswered));
            }
        }
    }
    if (progress)
        progress(done, total);

    for (size_t i = 0; i < requests.size(); ++i)
        if (checkOf[i] != SIZE_MAX && !distinct[checkOf[i]].open)
            run.results[i] = distinct[checkOf[i]].result;
    return run;
}

} // namespace quill
