#include "verify/CrawlerVerifier.h"
#include "verify/VerificationWorker.h"

#include "platform/CodePage.h"
#include "platform/QueueDispatcher.h"
#include "support/DnsTestServer.h"

#include "crawlers/CrawlerRegistry.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quill;
using quill::test::closedUdpPort;
using quill::test::DnsTestServer;
using Behaviour = DnsTestServer::Behaviour;

namespace {

const CrawlerId kGooglebot = crawlerOfRow(1), kBaiduspider = crawlerOfRow(2), kQihoo = crawlerOfRow(8),
                kMsn = crawlerOfRow(10);

// Short time-outs keep the silent cases quick; the rule is the same at 3 s.
VerifierOptions quickOptions(const std::string& server)
{
    VerifierOptions options;
    options.dns.server = server;
    options.dns.timeoutMs = 150;
    return options;
}

VerificationRun verify(const std::vector<VerificationRequest>& requests, const VerifierOptions& options)
{
    VerdictCache cache;
    std::atomic<bool> stop{false};
    return verifyCrawlers(requests, options, cache, stop);
}

// A server that knows genuine crawlers, impostors and broken names.
class VerifierAgainstServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com."});
        dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
        dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
        dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
        dns.addPtr("2001:4860:4801:1::1", {"crawl-2001-4860-4801-1--1.googlebot.com"});
        dns.addAddresses("crawl-2001-4860-4801-1--1.googlebot.com", {"2001:4860:4801:1::1"});
        // several PTR names: one outside, one inside that resolves back
        dns.addPtr("66.249.66.2", {"host.example.net", "crawl-66-249-66-2.googlebot.com"});
        dns.addAddresses("crawl-66-249-66-2.googlebot.com", {"10.0.0.9", "66.249.66.2"});
        // in the domain, but the forward lookup has no such name or another address
        dns.addPtr("10.1.1.1", {"crawl-10-1-1-1.googlebot.com"});
        dns.addPtr("10.1.1.2", {"crawl-10-1-1-2.googlebot.com"});
        dns.addAddresses("crawl-10-1-1-2.googlebot.com", {"66.249.66.1"});
        dns.addPtr("10.1.1.3", {"crawl-10-1-1-3.googlebot.com"});
        dns.addAddresses("crawl-10-1-1-3.googlebot.com", {"2001:db8::3"}); // only AAAA: NODATA for A
        // suffix tricks that the owner of the address can write into its PTR
        dns.addPtr("10.2.2.1", {"googlebot.com.evil.net"});
        dns.addAddresses("googlebot.com.evil.net", {"10.2.2.1"});
        dns.addPtr("10.2.2.2", {"crawl.evilgooglebot.com"});
        dns.addAddresses("crawl.evilgooglebot.com", {"10.2.2.2"});
        // a genuine Google name claimed for Baidu
        dns.addPtr("10.2.2.3", {"crawl-10-2-2-3.googlebot.com"});
        dns.addAddresses("crawl-10-2-2-3.googlebot.com", {"10.2.2.3"});
        // the name exists without PTR records
        dns.addPtr("10.3.3.1", {});
        // broken answers
        for (const char* ip : {"10.4.4.1", "10.4.4.2", "10.4.4.3", "10.4.4.4", "10.4.4.5"})
            dns.addPtr(ip, {"crawl.googlebot.com"});
        dns.setBehaviour("10.4.4.1", Behaviour::ServFail);
        dns.setBehaviour("10.4.4.2", Behaviour::Silent);
        dns.setBehaviour("10.4.4.3", Behaviour::Malformed);
        dns.setBehaviour("10.4.4.4", Behaviour::Truncated);
        dns.setBehaviour("10.4.4.5", Behaviour::Garbage);
        dns.addPtr("10.4.4.6", {"crawl-10-4-4-6.googlebot.com"});
        dns.addAddresses("crawl-10-4-4-6.googlebot.com", {"10.4.4.6"});
        dns.setBehaviour("crawl-10-4-4-6.googlebot.com", Behaviour::Silent);
        dns.addPtr("10.4.4.7", {"crawl-10-4-4-7.googlebot.com"});
        dns.addAddresses("crawl-10-4-4-7.googlebot.com", {"10.4.4.7"});
        dns.setBehaviour("crawl-10-4-4-7.googlebot.com", Behaviour::ServFail);
    }

    DnsTestServer dns;
};

TEST_F(VerifierAgainstServer, verdictsFollowReverseThenForwardLookup)
{
    struct Case {
        const char* address;
        CrawlerId crawler;
        Verdict verdict;
    };
    const Case cases[] = {
        // genuine crawlers, IPv4 and IPv6
        {"123.125.71.12", kBaiduspider, Verdict::Verified},
        {"66.249.66.1", kGooglebot, Verdict::Verified},
        {"::ffff:66.249.66.1", kGooglebot, Verdict::Verified},
        {"2001:4860:4801:1::1", kGooglebot, Verdict::Verified},
        {"2001:4860:4801:1:0:0:0:1", kGooglebot, Verdict::Verified},
        {"66.249.66.2", kGooglebot, Verdict::Verified},
        // a PTR in the domain proves nothing until the name resolves back
        {"10.1.1.1", kGooglebot, Verdict::Fake},
        {"10.1.1.2", kGooglebot, Verdict::Fake},
        {"10.1.1.3", kGooglebot, Verdict::Fake},
        // suffix tricks and the wrong engine's domain
        {"10.2.2.1", kGooglebot, Verdict::Fake},
        {"10.2.2.2", kGooglebot, Verdict::Fake},
        {"10.2.2.3", kBaiduspider, Verdict::Fake},
        // no PTR at all: NXDOMAIN and NODATA
        {"10.9.9.9", kGooglebot, Verdict::Fake},
        {"10.3.3.1", kMsn, Verdict::Fake},
        // no usable answer is no verdict
        {"10.4.4.1", kGooglebot, Verdict::Unknown},
        {"10.4.4.2", kGooglebot, Verdict::Unknown},
        {"10.4.4.3", kGooglebot, Verdict::Unknown},
        {"10.4.4.4", kGooglebot, Verdict::Unknown},
        {"10.4.4.5", kGooglebot, Verdict::Unknown},
        {"10.4.4.6", kGooglebot, Verdict::Unknown},
        {"10.4.4.7", kGooglebot, Verdict::Unknown},
        // nothing to ask about
        {"-", kGooglebot, Verdict::Unknown},
        {"66.249.66.1", kQihoo, Verdict::NotVerifiable},
        {"66.249.66.1", 0, Verdict::None},
    };
    std::vector<VerificationRequest> requests;
    for (const Case& c : cases)
        requests.push_back({c.address, c.crawler});
    const VerificationRun run = verify(requests, quickOptions(dns.address()));
    ASSERT_TRUE(run.status.ok()) << run.status.message();
    ASSERT_EQ(run.results.size(), requests.size());
    for (size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(verdictText(run.results[i].verdict), verdictText(cases[i].verdict))
            << cases[i].address << " crawler " << cases[i].crawler;
}

TEST_F(VerifierAgainstServer, resultNamesWhatTheLookupsSaw)
{
    const auto run = verify({{"66.249.66.2", kGooglebot}}, quickOptions(dns.address()));
    ASSERT_EQ(run.results.size(), 1u);
    auto names = run.results[0].names;
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"crawl-66-249-66-2.googlebot.com", "host.example.net"}));
    EXPECT_EQ(run.results[0].addresses, (std::vector<std::string>{"10.0.0.9", "66.249.66.2"}));
}

TEST_F(VerifierAgainstServer, sameAddressAndCrawlerIsAskedOnce)
{
    std::vector<VerificationRequest> requests(50, {"66.249.66.1", kGooglebot});
    requests.push_back({"::ffff:66.249.66.1", kGooglebot}); // the same address written otherwise
    const auto run = verify(requests, quickOptions(dns.address()));
    EXPECT_EQ(run.checked, 1u);
    EXPECT_EQ(dns.queriesReceived(), 2u); // one PTR, one A
    for (const auto& result : run.results)
        EXPECT_EQ(result.verdict, Verdict::Verified);
}

TEST_F(VerifierAgainstServer, notVerifiableRowsSendNoQuery)
{
    const auto run = verify({{"66.249.66.1", kQihoo}, {"66.249.66.1", crawlerOfRow(5)}, {"66.249.66.1", crawlerOfRow(12)}},
                            quickOptions(dns.address()));
    EXPECT_EQ(dns.queriesReceived(), 0u);
    for (const auto& result : run.results)
        EXPECT_EQ(result.verdict, Verdict::NotVerifiable);
}

TEST_F(VerifierAgainstServer, lateAnswerWithinTimeoutCounts)
{
    dns.setDelay(std::chrono::milliseconds(60));
    const auto run = verify({{"66.249.66.1", kGooglebot}}, quickOptions(dns.address()));
    EXPECT_EQ(run.results[0].verdict, Verdict::Verified);
}

TEST_F(VerifierAgainstServer, silentQueryIsRetriedOnceThenUnknown)
{
    const auto run = verify({{"10.4.4.2", kGooglebot}}, quickOptions(dns.address()));
    EXPECT_EQ(run.results[0].verdict, Verdict::Unknown);
    EXPECT_EQ(dns.queriesReceived(), 2u);
}

TEST_F(VerifierAgainstServer, stopLeavesOpenChecksUnchecked)
{
    dns.setDelay(std::chrono::milliseconds(100));
    VerdictCache cache;
    std::atomic<bool> stop{false};
    auto options = quickOptions(dns.address());
    options.dns.timeoutMs = 2000;
    const auto run = verifyCrawlers({{"66.249.66.1", kGooglebot}, {"123.125.71.12", kBaiduspider}}, options, cache,
                                    stop, [&](size_t, size_t) { stop = true; });
    EXPECT_TRUE(run.cancelled);
    for (const auto& result : run.results)
        EXPECT_EQ(result.verdict, Verdict::None);
}

TEST(CrawlerVerifier, tenThousandAddressesWithSixtyFourInFlight)
{
    DnsTestServer dns;
    std::vector<VerificationRequest> requests;
    for (int i = 0; i < 10000; ++i) {
        const std::string ip = "10." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) + ".7";
        const std::string host = "crawl-" + std::to_string(i) + ".crawl.baidu.com";
        dns.addPtr(ip, {host});
        // every tenth is an impostor whose name resolves elsewhere
        dns.addAddresses(host, {i % 10 == 0 ? "192.0.2.1" : ip});
        requests.push_back({ip, kBaiduspider});
    }
    // A busy machine may answer late; a wait long enough that no question is asked twice.
    VerifierOptions options = quickOptions(dns.address());
    options.dns.timeoutMs = 10000;
    const auto run = verify(requests, options);
    EXPECT_EQ(run.peakInFlight, 64u);
    EXPECT_EQ(run.checked, 10000u);
    EXPECT_EQ(dns.queriesReceived(), 20000u);
    for (size_t i = 0; i < requests.size(); ++i)
        ASSERT_EQ(run.results[i].verdict, i % 10 == 0 ? Verdict::Fake : Verdict::Verified) << requests[i].address;
}

TEST(CrawlerVerifier, noReachableDnsEndsEveryCheckUnknownWithoutAskingOnAndOn)
{
    std::vector<VerificationRequest> requests;
    for (int i = 0; i < 1000; ++i)
        requests.push_back({"10.0." + std::to_string(i / 256) + "." + std::to_string(i % 256), kGooglebot});

    // nobody listening
    auto refused = verify(requests, quickOptions("127.0.0.1:" + std::to_string(closedUdpPort())));
    // a server that swallows every query
    DnsTestServer blackHole;
    for (const auto& request : requests)
        blackHole.setBehaviour(request.address, Behaviour::Silent);
    auto silent = verify(requests, quickOptions(blackHole.address()));

    for (const VerificationRun* run : {&refused, &silent}) {
        EXPECT_LE(run->checked, 128u); // the first waves only, not all thousand
        for (const auto& result : run->results)
            ASSERT_EQ(result.verdict, Verdict::Unknown);
    }
    EXPECT_LE(blackHole.queriesReceived(), 2 * 128u); // each asked once and retried once
}

TEST(CrawlerVerifier, badServerSettingIsReportedAndNothingAsked)
{
    const std::string digits(5000, '7');
    for (const std::string& server : {std::string("not an address"), std::string("127.0.0.1:53,127.0.0.2:53"),
                                      std::string("300.1.1.1:53"), std::string("127.0.0.1"), std::string("127.0.0.1:"),
                                      std::string("127.0.0.1:99999"), std::string("127.0.0.1:0"),
                                      std::string("127.0.0.1:+53"), std::string("::1:53"), std::string("[::1]"),
                                      std::string("[127.0.0.1:53"), digits, "127.0.0.1:" + digits}) {
        const auto run = verify({{"66.249.66.1", kGooglebot}}, quickOptions(server));
        EXPECT_FALSE(run.status.ok()) << server;
        EXPECT_LT(run.status.message().size(), 200u); // a long setting is not echoed whole
        EXPECT_EQ(run.results[0].verdict, Verdict::Unknown);
    }
    // What a setting may be: IPv4 and bracketed IPv6 with a port.
    for (const char* server : {"127.0.0.1:53", "[::1]:53", "127.0.0.1:65535"})
        EXPECT_TRUE(DnsResolver::create(DnsOptions{server}).ok()) << server;
}

TEST(CrawlerVerifier, everyInDomainPtrNameIsCheckedUpToSixteen)
{
    DnsTestServer dns;
    std::vector<VerificationRequest> requests;
    // 5 and 16 names of the engine's domain with one genuine among them, then 17 that all resolve
    // elsewhere (short names, so that 17 of them fit a datagram).
    for (const char* set : {"a", "b", "c"}) {
        const int count = *set == 'a' ? 5 : *set == 'b' ? 16 : 17;
        const std::string ip = "10.7.7." + std::to_string(count);
        std::vector<std::string> names;
        for (int i = 1; i <= count; ++i) {
            names.push_back(set + std::to_string(i) + ".baidu.com");
            dns.addAddresses(names.back(), {"192.0.2.1"});
        }
        dns.addPtr(ip, names);
        if (count < 17)
            dns.addAddresses(names.back(), {ip});
        requests.push_back({ip, kBaiduspider});
    }
    const auto run = verify(requests, quickOptions(dns.address()));
    EXPECT_EQ(run.results[0].verdict, Verdict::Verified);
    EXPECT_EQ(run.results[1].verdict, Verdict::Verified);
    EXPECT_EQ(run.results[2].verdict, Verdict::Fake);
    // A PTR each, then one A per name checked: all of the 5 and the 16, 16 of the 17.
    EXPECT_EQ(dns.queriesReceived(), 3u + 5u + 16u + 16u);
}

TEST(CrawlerVerifier, aServerThatAnswersOnceThenDropsEndsTheRestUnknownAtOnce)
{
    DnsTestServer dns;
    dns.dropAfterReplies(1);
    std::vector<VerificationRequest> requests;
    for (int i = 0; i < 100000; ++i)
        requests.push_back({"10." + std::to_string(i / 65536) + "." + std::to_string(i / 256 % 256) + "." +
                                std::to_string(i % 256),
                            kBaiduspider});
    const auto run = verify(requests, quickOptions(dns.address()));
    EXPECT_TRUE(run.dnsDown);
    EXPECT_NE(run.status.message().find(gbk("DNS 服务器没有回答")), std::string::npos);
    // Only the first waves were asked, each query retried once: not 100,000 checks of 300 ms.
    EXPECT_LE(run.checked, 3 * 64u);
    EXPECT_LE(dns.queriesReceived(), 2 * 3 * 64u);
    const auto unknown = std::count_if(run.results.begin(), run.results.end(),
                                       [](const VerificationResult& r) { return r.verdict == Verdict::Unknown; });
    EXPECT_GE(unknown, 100000 - 1);

    // A later run told the server is down asks nothing.
    VerifierOptions known = quickOptions(dns.address());
    known.dnsKnownDown = true;
    const size_t asked = dns.queriesReceived();
    const auto later = verify({{"10.9.9.9", kBaiduspider}}, known);
    EXPECT_EQ(dns.queriesReceived(), asked);
    EXPECT_TRUE(later.dnsDown);
    EXPECT_EQ(later.results[0].verdict, Verdict::Unknown);
}

TEST(CrawlerVerifier, verdictRuleOverAnswers)
{
    const IpAddress address = *parseIpAddress("66.249.66.1");
    const IpAddress other = *parseIpAddress("66.249.66.9");
    auto ptr = [](DnsOutcome outcome, std::vector<std::string> names) {
        DnsAnswer answer;
        answer.outcome = outcome;
        answer.names = std::move(names);
        return answer;
    };
    auto forward = [](DnsOutcome outcome, std::vector<IpAddress> addresses) {
        DnsAnswer answer;
        answer.outcome = outcome;
        answer.addresses = std::move(addresses);
        return answer;
    };
    const std::string inside = "a.googlebot.com";
    struct Case {
        const char* what;
        DnsAnswer ptr;
        std::vector<DnsAnswer> forward;
        Verdict verdict;
    };
    const Case cases[] = {
        {"match", ptr(DnsOutcome::Answer, {inside}), {forward(DnsOutcome::Answer, {other, address})}, Verdict::Verified},
        {"second name matches after a time-out",
         ptr(DnsOutcome::Answer, {inside, "b.google.com"}),
         {forward(DnsOutcome::TimedOut, {}), forward(DnsOutcome::Answer, {address})},
         Verdict::Verified},
        {"other address", ptr(DnsOutcome::Answer, {inside}), {forward(DnsOutcome::Answer, {other})}, Verdict::Fake},
        {"forward NXDOMAIN", ptr(DnsOutcome::Answer, {inside}), {forward(DnsOutcome::NoName, {})}, Verdict::Fake},
        {"forward time-out", ptr(DnsOutcome::Answer, {inside}), {forward(DnsOutcome::TimedOut, {})}, Verdict::Unknown},
        {"forward server failure", ptr(DnsOutcome::Answer, {inside}), {forward(DnsOutcome::Failed, {})},
         Verdict::Unknown},
        {"outside the domains", ptr(DnsOutcome::Answer, {"a.example.com"}), {}, Verdict::Fake},
        {"no PTR name", ptr(DnsOutcome::NoName, {}), {}, Verdict::Fake},
        {"no PTR record", ptr(DnsOutcome::NoData, {}), {}, Verdict::Fake},
        {"PTR time-out", ptr(DnsOutcome::TimedOut, {}), {}, Verdict::Unknown},
        {"PTR unreachable", ptr(DnsOutcome::Unreachable, {}), {}, Verdict::Unknown},
    };
    for (const Case& c : cases)
        EXPECT_EQ(verdictOf(c.ptr, kGooglebot, c.forward, address), c.verdict) << c.what;
    EXPECT_EQ(verdictOf(ptr(DnsOutcome::NoName, {}), kQihoo, {}, address), Verdict::NotVerifiable);
}

TEST(VerificationWorker, hasProgressThenVerdictsDeliveredOnTheUiThread)
{
    DnsTestServer dns;
    dns.addPtr("66.249.66.1", {"crawl.googlebot.com"});
    dns.addAddresses("crawl.googlebot.com", {"66.249.66.1"});
    QueueDispatcher ui;
    std::vector<std::pair<size_t, size_t>> progress;
    std::optional<VerificationRun> finished;
    VerificationWorker worker({{"66.249.66.1", kGooglebot}, {"10.9.9.9", kGooglebot}}, quickOptions(dns.address()), "",
                              ui,
                              {[&](size_t done, size_t total) { progress.emplace_back(done, total); },
                               [&](const VerificationRun& run) { finished = run; }});
    while (!finished)
        ASSERT_TRUE(ui.runOne(std::chrono::seconds(10)));
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(size_t(2), size_t(2)));
    EXPECT_EQ(finished->results[0].verdict, Verdict::Verified);
    EXPECT_EQ(finished->results[1].verdict, Verdict::Fake);
}

TEST(VerificationWorker, destroyedWorkerDeliversNothing)
{
    DnsTestServer dns;
    dns.setDelay(std::chrono::milliseconds(200));
    QueueDispatcher ui;
    bool delivered = false;
    {
        VerificationWorker worker({{"66.249.66.1", kGooglebot}}, quickOptions(dns.address()), "", ui,
                                  {[&](size_t, size_t) { delivered = true; }, [&](const VerificationRun&) { delivered = true; }});
    }
    ui.drain();
    EXPECT_FALSE(delivered);
}

} // namespace
