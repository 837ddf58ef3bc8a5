#include "verify/CrawlerVerifier.h"

#include "crawlers/CrawlerRegistry.h"
#include "support/DnsTestServer.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::DnsTestServer;

namespace {

constexpr std::int64_t kNow = 1765411200;
constexpr std::int64_t kDay = 24 * 3600;

AddressList list(const char* fileName, std::vector<const char*> prefixes, std::int64_t date = kNow)
{
    AddressList result{*publishedListIndex(fileName), date, date, {}};
    for (const char* text : prefixes)
        result.prefixes.push_back(*parseAddressPrefix(text));
    return result;
}

class ListVerdicts : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Googlebot is checked by its list and by DNS; outside the list the DNS decides.
        dns.addPtr("5.6.7.8", {"crawl-5-6-7-8.googlebot.com"});
        dns.addAddresses("crawl-5-6-7-8.googlebot.com", {"5.6.7.8"});
        dns.addPtr("5.6.7.9", {"host.example.net"});
        options.dns.server = dns.address();
        options.dns.timeoutMs = 300;
        options.now = [] { return kNow; };
        options.lists = std::make_shared<const AddressLists>(std::vector<AddressList>{
            list("gptbot.json", {"20.171.206.0/24", "2603:1030:7::/48"}),
            list("bots.json", {"160.79.104.0/23"}, kNow - 31 * kDay),
            list("common-crawlers.json", {"66.249.64.0/19", "2001:4860:4801::/48"}),
        });
    }

    VerificationRun verify(const std::vector<VerificationRequest>& requests)
    {
        VerdictCache cache;
        const std::atomic<bool> stop{false};
        return verifyCrawlers(requests, options, cache, stop);
    }

    DnsTestServer dns;
    VerifierOptions options;
};

TEST_F(ListVerdicts, listsDecideBeforeTheDns)
{
    struct Case {
        const char* address;
        const char* crawler;
        Verdict verdict;
    };
    const Case cases[] = {
        // inside a list of the claimed crawler: v4, v6, IPv4-mapped v6
        {"20.171.206.7", "GPTBot", Verdict::Verified},
        {"2603:1030:7::1", "GPTBot", Verdict::Verified},
        {"::ffff:20.171.206.7", "GPTBot", Verdict::Verified},
        {"66.249.66.1", "Googlebot", Verdict::Verified},
        {"2001:4860:4801::9", "Googlebot", Verdict::Verified},
        // another crawler's address claiming this one
        {"20.171.206.7", "Googlebot", Verdict::Fake},
        {"66.249.66.1", "ClaudeBot", Verdict::Fake},
        // outside a fresh list of a crawler checked by lists alone
        {"5.6.7.8", "GPTBot", Verdict::Fake},
        // outside an old list, or a list never fetched: never fake
        {"5.6.7.8", "ClaudeBot", Verdict::Unknown},
        {"160.79.104.1", "ClaudeBot", Verdict::Verified},
        {"5.6.7.8", "PerplexityBot", Verdict::Unknown},
        // an operator that publishes nothing: never fake, whatever lists say
        {"20.171.206.7", "360Spider", Verdict::NotVerifiable},
        {"20.171.206.7", "meta-externalagent", Verdict::NotVerifiable},
        // both methods: outside the list, the DNS decides
        {"5.6.7.8", "Googlebot", Verdict::Verified},
        {"5.6.7.9", "Googlebot", Verdict::Fake},
    };
    std::vector<VerificationRequest> requests;
    for (const Case& c : cases)
        requests.push_back({c.address, crawlerByName(c.crawler)});
    const VerificationRun run = verify(requests);
    ASSERT_EQ(run.results.size(), requests.size());
    for (size_t i = 0; i < requests.size(); ++i)
        EXPECT_EQ(run.results[i].verdict, cases[i].verdict) << cases[i].address << " as " << cases[i].crawler;
    // Only the two Googlebot visits outside the list asked the DNS: PTR, then A for the one in domain.
    EXPECT_EQ(run.checked, 2u);
    EXPECT_EQ(dns.queriesReceived(), 3u);
    EXPECT_EQ(run.results[0].list, *publishedListIndex("gptbot.json"));
}

TEST_F(ListVerdicts, withoutListsACrawlerOfListsAloneIsUnknown)
{
    options.lists.reset();
    const VerificationRun run = verify({{"20.171.206.7", crawlerByName("GPTBot")}});
    EXPECT_EQ(run.results.front().verdict, Verdict::Unknown);
    EXPECT_EQ(dns.queriesReceived(), 0u);
}

} // namespace
