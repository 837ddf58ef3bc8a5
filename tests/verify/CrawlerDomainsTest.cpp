#include "verify/CrawlerDomains.h"
#include "verify/IpAddress.h"

#include "crawlers/CrawlerRegistry.h"

#include <gtest/gtest.h>

using namespace quill;

namespace {

constexpr int kGooglebot = 1, kBaiduspider = 2, kSogou = 4, kSoso = 5, kYodaoImage = 7, kQihoo = 8, kMsn = 10;

// The domains the registry gives the crawler a row of the crawler table stands for.
const std::vector<std::string>& rowDomains(int row)
{
    static const std::vector<std::string> none;
    const CrawlerId crawler = crawlerOfRow(row);
    return crawler == kNoCrawler ? none : crawlerEntry(crawler).domains;
}

TEST(CrawlerDomains, hostLiesInDomainByWholeLabels)
{
    struct Case {
        const char* host;
        int row;
        bool inside;
    };
    const Case cases[] = {
        // below or equal to a published domain, any case, final dot or not
        {"crawl-66-249-66-1.googlebot.com", kGooglebot, true},
        {"crawl-66-249-66-1.googlebot.com.", kGooglebot, true},
        {"CRAWL-1.GoogleBot.COM", kGooglebot, true},
        {"googlebot.com", kGooglebot, true},
        {"rate-limited-proxy-1.google.com", kGooglebot, true},
        {"baiduspider-123-125-71-1.crawl.baidu.com", kBaiduspider, true},
        {"baiduspider.crawl.baidu.jp", kBaiduspider, true},
        {"msnbot-65-55-1-1.search.msn.com", kMsn, true},
        {"sogouspider-1.crawl.sogou.com", kSogou, true},
        // suffix tricks: the domain must end the name at a label boundary
        {"evilgooglebot.com", kGooglebot, false},
        {"googlebot.com.evil.net", kGooglebot, false},
        {"googlebot.com.", kBaiduspider, false},
        {"xbaidu.com", kBaiduspider, false},
        {"baidu.com.cn", kBaiduspider, false},
        {"msn.com", kMsn, false},             // the engine publishes search.msn.com, not all of msn.com
        {"evil-search.msn.com", kMsn, false}, // a label boundary, not a dash
        {"com", kGooglebot, false},
        {"", kGooglebot, false},
        {".", kGooglebot, false},
        // the domains belong to the row, not to every engine
        {"crawl-1.googlebot.com", kBaiduspider, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(hostInDomains(c.host, rowDomains(c.row)), c.inside) << c.host << " row " << c.row;
}

TEST(CrawlerDomains, rowsWithoutPublishedCheckHaveNoDomains)
{
    for (int row : {kSoso, kQihoo, 9, 11, 12, 13, 0, 14, -1})
        EXPECT_TRUE(rowDomains(row).empty()) << row;
    EXPECT_FALSE(rowDomains(kYodaoImage).empty());
}


TEST(IpAddress, parsesAndNamesReverseLookups)
{
    struct Case {
        const char* text;
        const char* canonical; // nullptr: not an address
        const char* reverse;
    };
    const Case cases[] = {
        {"66.249.66.1", "66.249.66.1", "1.66.249.66.in-addr.arpa"},
        {"::ffff:66.249.66.1", "66.249.66.1", "1.66.249.66.in-addr.arpa"}, // IPv4-mapped is IPv4
        {"2001:4860:4801:1::1", "2001:4860:4801:1::1",
         "1.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.1.0.0.0.1.0.8.4.0.6.8.4.1.0.0.2.ip6.arpa"},
        {"2001:DB8:0:0::A", "2001:db8::a", "a.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.0.8.b.d.0.1.0.0.2.ip6.arpa"},
        {"-", nullptr, nullptr},
        {"", nullptr, nullptr},
        {"66.249.66", nullptr, nullptr},
        {"66.249.66.1 ", nullptr, nullptr},
        {"256.1.1.1", nullptr, nullptr},
        {"example.com", nullptr, nullptr},
        {"1:2:3:4:5:6:7:8:9", nullptr, nullptr},
    };
    for (const Case& c : cases) {
        const auto address = parseIpAddress(c.text);
        ASSERT_EQ(address.has_value(), c.canonical != nullptr) << c.text;
        if (!address)
            continue;
        EXPECT_EQ(ipAddressText(*address), c.canonical);
        EXPECT_EQ(reverseLookupName(*address), c.reverse);
    }
}

} // namespace
