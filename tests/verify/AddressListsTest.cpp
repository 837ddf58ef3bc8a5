#include "verify/AddressLists.h"
#include "verify/AddressPrefixSet.h"
#include "verify/PublishedListFormat.h"

#include "crawlers/CrawlerRegistry.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace quill;

namespace {

constexpr std::int64_t kNow = 1765411200; // 2025-12-11
constexpr std::int64_t kDay = 24 * 3600;

int listIndex(const char* fileName) { return *publishedListIndex(fileName); }

AddressList list(const char* fileName, std::vector<const char*> prefixes, std::int64_t date = kNow)
{
    AddressList result{listIndex(fileName), date, date, {}};
    for (const char* text : prefixes)
        result.prefixes.push_back(*parseAddressPrefix(text));
    return result;
}

TEST(AddressPrefix, parsesPrefixesAndClearsHostBits)
{
    struct Case {
        const char* text;
        const char* canonical; // nullptr: refused
    };
    const Case cases[] = {
        {"66.249.64.0/19", "66.249.64.0/19"},
        {"66.249.66.1/19", "66.249.64.0/19"}, // host bits cleared
        {"66.249.66.1", "66.249.66.1/32"},
        {"0.0.0.0/0", "0.0.0.0/0"},
        {"2001:4860:4801:10::/64", "2001:4860:4801:10::/64"},
        {"2001:4860:4801:10::1/48", "2001:4860:4801::/48"},
        {"::ffff:66.249.66.0/120", "66.249.66.0/24"}, // an IPv4-mapped prefix is the IPv4 one
        {"::/0", "::/0"},
        {"66.249.64.0/33", nullptr},
        {"2001:db8::/129", nullptr},
        {"::ffff:66.249.66.0/95", nullptr},
        {"66.249.64/19", nullptr},
        {"66.249.64.0/", nullptr},
        {"66.249.64.0/1a", nullptr},
        {"66.249.64.0/-1", nullptr},
        {"66.249.64.0/0019", nullptr},
        {"", nullptr},
        {"googlebot", nullptr},
    };
    for (const Case& c : cases) {
        const auto prefix = parseAddressPrefix(c.text);
        if (c.canonical)
            EXPECT_EQ(prefix ? addressPrefixText(*prefix) : "(refused)", c.canonical) << c.text;
        else
            EXPECT_FALSE(prefix) << c.text;
    }
}

TEST(AddressPrefixSet, findsEveryListHoldingAnAddress)
{
    AddressPrefixSet set;
    set.add(*parseAddressPrefix("10.0.0.0/8"), 0);
    set.add(*parseAddressPrefix("10.1.0.0/16"), 3);
    set.add(*parseAddressPrefix("10.1.2.0/24"), 0); // inside its own list's wider prefix
    set.add(*parseAddressPrefix("192.168.1.128/25"), 5);
    set.add(*parseAddressPrefix("255.255.255.255/32"), 7);
    set.add(*parseAddressPrefix("2001:db8::/32"), 3);
    set.add(*parseAddressPrefix("::/0"), 9);
    set.build();
    struct Case {
        const char* address;
        AddressPrefixSet::Lists lists;
    };
    const Case cases[] = {
        {"9.255.255.255", 0},
        {"10.0.0.0", 1u << 0},
        {"10.1.0.0", 1u << 0 | 1u << 3},
        {"10.1.255.255", 1u << 0 | 1u << 3},
        {"10.2.0.0", 1u << 0},
        {"10.255.255.255", 1u << 0},
        {"11.0.0.0", 0},
        {"192.168.1.127", 0},
        {"192.168.1.128", 1u << 5},
        {"192.168.1.255", 1u << 5},
        {"255.255.255.255", 1u << 7},
        {"::ffff:10.1.2.3", 1u << 0 | 1u << 3}, // IPv4-mapped: the IPv4 address
        {"2001:db8::1", 1u << 3 | 1u << 9},
        {"2001:db9::", 1u << 9},
        {"::", 1u << 9},
        {"ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff", 1u << 9},
    };
    for (const Case& c : cases)
        EXPECT_EQ(set.listsHolding(*parseIpAddress(c.address)), c.lists) << c.address;
}

TEST(AddressPrefixSet, edgesOfIpv4PrefixesOfEveryWidth)
{
    AddressPrefixSet set;
    set.add(*parseAddressPrefix("0.0.0.0/0"), 0);
    set.add(*parseAddressPrefix("66.0.0.0/8"), 1);
    set.add(*parseAddressPrefix("66.249.0.0/16"), 2);
    set.add(*parseAddressPrefix("66.249.66.0/24"), 3);
    set.add(*parseAddressPrefix("66.249.66.1/32"), 4);
    set.add(*parseAddressPrefix("40.76.0.0/15"), 5); // spans two first-16-bit slots
    set.add(*parseAddressPrefix("::ffff:17.58.0.0/112"), 6); // IPv4-mapped: 17.58.0.0/16
    set.build();
    constexpr AddressPrefixSet::Lists all = 1u << 0;
    struct Case {
        const char* address;
        AddressPrefixSet::Lists lists;
    };
    const Case cases[] = {
        {"0.0.0.0", all},
        {"255.255.255.255", all},
        // each width's first and last address, and the addresses just outside
        {"65.255.255.255", all},
        {"66.0.0.0", all | 1u << 1},
        {"66.249.0.0", all | 1u << 1 | 1u << 2},
        {"66.248.255.255", all | 1u << 1},
        {"66.249.65.255", all | 1u << 1 | 1u << 2},
        {"66.249.66.0", all | 1u << 1 | 1u << 2 | 1u << 3},
        {"66.249.66.1", all | 1u << 1 | 1u << 2 | 1u << 3 | 1u << 4},
        {"66.249.66.2", all | 1u << 1 | 1u << 2 | 1u << 3},
        {"66.249.66.255", all | 1u << 1 | 1u << 2 | 1u << 3},
        {"66.249.67.0", all | 1u << 1 | 1u << 2},
        {"66.249.255.255", all | 1u << 1 | 1u << 2},
        {"66.250.0.0", all | 1u << 1},
        {"66.255.255.255", all | 1u << 1},
        {"67.0.0.0", all},
        // a range that began under an earlier first 16 bits
        {"40.75.255.255", all},
        {"40.76.0.0", all | 1u << 5},
        {"40.77.0.0", all | 1u << 5},
        {"40.77.255.255", all | 1u << 5},
        {"40.78.0.0", all},
        {"17.58.1.2", all | 1u << 6},
        {"::ffff:17.58.1.2", all | 1u << 6},
        {"::ffff:66.249.66.1", all | 1u << 1 | 1u << 2 | 1u << 3 | 1u << 4},
        {"17.59.0.0", all},
        {"2001:db8::1", 0}, // IPv4 prefixes hold no IPv6 address
    };
    for (const Case& c : cases)
        EXPECT_EQ(set.listsHolding(*parseIpAddress(c.address)), c.lists) << c.address;
}

TEST(AddressPrefixSet, agreesWithAScanOfThePrefixes)
{
    // Random overlapping prefixes of several lists, and addresses near their edges and anywhere.
    std::mt19937 random(30);
    std::vector<std::pair<AddressPrefix, int>> prefixes;
    AddressPrefixSet set;
    for (int i = 0; i < 400; ++i) {
        const std::uint32_t network = i % 4 == 0 ? 0x42F90000u | (random() & 0xFFFF) : std::uint32_t(random());
        const std::string text = std::to_string(network >> 24) + "." + std::to_string(network >> 16 & 0xFF) + "." +
                                 std::to_string(network >> 8 & 0xFF) + "." + std::to_string(network & 0xFF) + "/" +
                                 std::to_string(4 + random() % 29);
        const AddressPrefix prefix = *parseAddressPrefix(text);
        const int list = int(random() % 20);
        prefixes.push_back({prefix, list});
        set.add(prefix, list);
    }
    set.build();
    auto key = [](const IpAddress& address) {
        return std::uint32_t(address.bytes[0]) << 24 | std::uint32_t(address.bytes[1]) << 16 |
               std::uint32_t(address.bytes[2]) << 8 | address.bytes[3];
    };
    auto scan = [&](std::uint32_t address) {
        AddressPrefixSet::Lists lists = 0;
        for (const auto& [prefix, list] : prefixes) {
            const std::uint32_t mask = prefix.length == 0 ? 0 : ~std::uint32_t(0) << (32 - prefix.length);
            if ((address & mask) == key(prefix.network))
                lists |= 1u << list;
        }
        return lists;
    };
    std::vector<std::uint32_t> addresses;
    for (const auto& [prefix, list] : prefixes) {
        const std::uint32_t first = key(prefix.network);
        const std::uint32_t last = first | (prefix.length == 0 ? ~0u : ~(~0u << (32 - prefix.length)));
        addresses.insert(addresses.end(), {first - 1, first, last, last + 1});
    }
    for (int i = 0; i < 5000; ++i)
        addresses.push_back(std::uint32_t(random()));
    for (std::uint32_t address : addresses) {
        IpAddress ip;
        for (size_t b = 0; b < 4; ++b)
            ip.bytes[b] = std::uint8_t(address >> (24 - 8 * b));
        ASSERT_EQ(set.listsHolding(ip), scan(address)) << ipAddressText(ip);
    }
}

TEST(PublishedListFormat, readsEachDocumentedShape)
{
    struct Case {
        const char* what;
        std::string json;
        size_t prefixes;         // 0: refused
        std::int64_t createdAt;
    };
    const Case cases[] = {
        {"prefix objects and a creation time",
         R"({"creationTime": "2025-12-10T23:00:53.000000", "prefixes": [{"ipv4Prefix": "66.249.64.0/27"},
             {"ipv6Prefix": "2001:4860:4801:10::/64"}], "syncToken": "1"})",
         2, kNow - 3600 + 53},
        {"an offset on the creation time", R"({"creationTime": "2025-12-11T08:00:00+08:00", "prefixes": ["1.2.3.0/24"]})",
         1, kNow},
        {"prefix strings", R"({"prefixes": ["20.171.206.0/24", "52.230.152.0/24"]})", 2, 0},
        {"an array of prefixes", R"(["17.22.237.0/24", "17.22.245.0/24", "17.22.253.0/24"])", 3, 0},
        {"other members are left alone", R"({"note": {"prefixes": ["bad"]}, "prefixes": [{"ipv4Prefix": "1.2.3.4/32", "service": "x"}]})", 1, 0},
        {"an unreadable creation time is no date", R"({"creationTime": "yesterday", "prefixes": ["1.2.3.0/24"]})", 1, 0},
        // refused
        {"broken JSON", R"({"prefixes": [{"ipv4Prefix": "1.2.3.0/24"})", 0, 0},
        {"HTML instead of JSON", "<html><body>Not found</body></html>", 0, 0},
        {"a bad prefix", R"({"prefixes": [{"ipv4Prefix": "1.2.3.0/24"}, {"ipv4Prefix": "1.2.3/24"}]})", 0, 0},
        {"no prefix", R"({"creationTime": "2025-12-10T23:00:53", "prefixes": []})", 0, 0},
        {"nesting no list has", R"({"prefixes": [[[[["1.2.3.0/24"]]]]]})", 0, 0},
        {"empty", "", 0, 0},
    };
    for (const Case& c : cases) {
        const Result<ParsedList> parsed = parsePublishedList(c.json);
        if (c.prefixes == 0) {
            EXPECT_FALSE(parsed.ok()) << c.what;
            EXPECT_FALSE(parsed.ok() || parsed.status().message().empty()) << c.what;
            continue;
        }
        ASSERT_TRUE(parsed.ok()) << c.what << ": " << parsed.status().message();
        EXPECT_EQ(parsed.value().prefixes.size(), c.prefixes) << c.what;
        EXPECT_EQ(parsed.value().createdAt, c.createdAt) << c.what;
    }
}

TEST(PublishedListFormat, deepNestingIsRefusedWithoutRecursion)
{
    const std::string deep = std::string(1000000, '[') + std::string(1000000, ']');
    EXPECT_FALSE(parsePublishedList(deep).ok());
}

TEST(AddressLists, judgeAddressAgainstClaimedCrawler)
{
    const AddressLists lists({
        list("gptbot.json", {"20.171.206.0/24"}),
        list("searchbot.json", {"20.42.10.176/28", "2603:1030::/32"}),
        list("bots.json", {"160.79.104.0/23"}, kNow - 31 * kDay), // old
        list("common-crawlers.json", {"66.249.64.0/19", "2001:4860:4801::/48"}),
    });
    struct Case {
        const char* address;
        const char* crawler;
        ListFinding finding;
    };
    const Case cases[] = {
        {"20.171.206.7", "GPTBot", ListFinding::InOwnList},
        {"::ffff:20.171.206.7", "GPTBot", ListFinding::InOwnList},
        {"2603:1030::5", "OAI-SearchBot", ListFinding::InOwnList},
        {"20.171.206.7", "OAI-SearchBot", ListFinding::InOtherList}, // GPTBot's address says it is OAI-SearchBot
        {"20.171.206.7", "Baiduspider", ListFinding::InOtherList},
        {"66.249.66.1", "GPTBot", ListFinding::InOtherList},
        {"5.6.7.8", "GPTBot", ListFinding::OutsideFreshLists},
        {"2001:db8::1", "GPTBot", ListFinding::OutsideFreshLists},
        {"160.79.104.9", "ClaudeBot", ListFinding::InOwnList},      // an old list still vouches
        {"5.6.7.8", "ClaudeBot", ListFinding::Undecided},           // but never calls fake
        {"160.79.104.9", "GPTBot", ListFinding::OutsideFreshLists}, // nor speaks against others
        {"5.6.7.8", "PerplexityBot", ListFinding::Undecided},       // its list was never fetched
        {"66.249.66.1", "Googlebot", ListFinding::InOwnList},
        {"2001:4860:4801::9", "Googlebot", ListFinding::InOwnList},
        {"5.6.7.8", "Googlebot", ListFinding::Undecided}, // lists and DNS: the DNS decides
        {"5.6.7.8", "Baiduspider", ListFinding::Undecided},
    };
    for (const Case& c : cases)
        EXPECT_EQ(lists.judge(*parseIpAddress(c.address), crawlerEntry(crawlerByName(c.crawler)), kNow), c.finding)
            << c.address << " as " << c.crawler;
}

TEST(AddressLists, fileKeepsListsWithTheirDates)
{
    test::TempFolder folder;
    const std::string path = folder.file("lists.txt");
    const AddressLists lists({list("gptbot.json", {"20.171.206.0/24", "2603:1030::/32"}, kNow - kDay),
                              list("common-crawlers.json", {"66.249.64.0/19"}, kNow - 40 * kDay)});
    ASSERT_TRUE(writeAddressListsFile(path, lists).ok());
    const AddressLists read = readAddressListsFile(path);
    ASSERT_EQ(read.lists().size(), 2u);
    for (const AddressList& original : lists.lists()) {
        const AddressList* copy = read.find(original.index);
        ASSERT_TRUE(copy);
        EXPECT_EQ(copy->date, original.date);
        EXPECT_EQ(copy->obtainedAt, original.obtainedAt);
        EXPECT_EQ(copy->prefixes, original.prefixes);
    }
    EXPECT_TRUE(readAddressListsFile(folder.file("missing.txt")).empty());
}

TEST(AddressLists, damagedSectionsOfTheFileAreLeftOut)
{
    test::TempFolder folder;
    const std::string path = folder.write("lists.txt", "[gptbot.json]\ndate=1765411200\nobtained=1765411200\n"
                                                       "20.171.206.0/24\n"
                                                       "[searchbot.json]\ndate=1765411200\n20.42.10.176/28\n20.42.10/28\n"
                                                       "[unknown.json]\ndate=1\n1.2.3.0/24\n"
                                                       "[bots.json]\n160.79.104.0/23\n" // no date
                                                       "[ccbot.json]\ndate=x\n1.2.3.0/24\n");
    const AddressLists read = readAddressListsFile(path);
    ASSERT_EQ(read.lists().size(), 1u);
    EXPECT_EQ(read.lists().front().index, listIndex("gptbot.json"));
}

} // namespace
