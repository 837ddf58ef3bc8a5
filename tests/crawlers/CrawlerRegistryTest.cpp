#include "crawlers/CrawlerRegistry.h"

#include "platform/CodePage.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

#include <set>

using namespace quill;

namespace {

std::string keyOf(CrawlerId id) { return id == kNoCrawler ? "" : crawlerEntry(id).key; }

TEST(CrawlerRegistry, userAgentNamesCrawlerByTokenAtStartOfWord)
{
    struct Case {
        std::string userAgent;
        const char* crawler; // key; "" for none
    };
    const Case cases[] = {
        // as crawlers send them, and as IIS writes them with "+" for blanks
        {"Mozilla/5.0 (compatible; Googlebot/2.1; +http://www.google.com/bot.html)", "Googlebot"},
        {"Googlebot-Image/1.0", "Googlebot"},
        {"Mozilla/5.0+(compatible;+bingbot/2.0;++http://www.bing.com/bingbot.htm)", "bingbot"},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; GPTBot/1.3; +https://openai.com/gptbot", "GPTBot"},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko); compatible; ChatGPT-User/1.0; +https://openai.com/bot", "ChatGPT-User"},
        {"Mozilla/5.0 (compatible; OAI-SearchBot/1.3)", "OAI-SearchBot"},
        {"Mozilla/5.0 (compatible; Claude-SearchBot/1.0)", "Claude-SearchBot"},
        {"Mozilla/5.0 AppleWebKit/537.36 (KHTML, like Gecko; compatible; Perplexity-User/1.0)", "Perplexity-User"},
        {"Sogou+web+spider/4.0(+http://www.sogou.com/docs/help/webmasters.htm#07)", "Sogou"},
        {"Sogou web spider/4.0", "Sogou"},
        {"Mozilla/5.0 (compatible; Baiduspider-render/2.0; +http://www.baidu.com/search/spider.html)", "Baiduspider"},
        {"meta-externalagent/1.1 (+https://developers.facebook.com/docs/sharing/webmasters/crawler)", "meta-externalagent"},
        {"CCBot/2.0 (https://commoncrawl.org/faq/)", "CCBot"},
        {"Mozilla/5.0 (compatible; AhrefsBot/7.0; +http://ahrefs.com/robot/)", "AhrefsBot"},
        {"gptbot", "GPTBot"}, // case ignored
        // look-alikes: a token inside a word is no token; a claim with a suffix is still a claim
        {"notGPTBot/1.0", ""},
        {"Mozilla/5.0 (compatible; XGooglebot/2.1)", ""},
        {"Googlebot-Imposter/1.0", "Googlebot"},
        {"Mozilla/5.0 (iPhone) AppleWebKit/605.1.15 Mobile/15E148 Safari/604.1", ""}, // AppleWebKit is no Applebot
        {"Mozilla/5.0 (Linux; Android 10) SogouMobileBrowser/5.28", ""},
        {"Mozilla/5.0 (Windows NT 10.0; Win64; x64) Chrome/120.0.0.0 Safari/537.36", ""},
        {"-", ""},
        {"", ""},
        // the earliest token wins
        {"ClaudeBot/1.0 (like GPTBot)", "ClaudeBot"},
        // GBK: a double-byte character before a token starts a word; a token never starts on a
        // second byte ("\xB0G" is one character)
        {"\xB0\xA1GPTBot", "GPTBot"},
        {"\xB0GPTBot", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyOf(identifyUserAgent(c.userAgent)), c.crawler) << c.userAgent;
}

TEST(CrawlerRegistry, crawlerNamedByKeyTokenNameRowOrUserAgent)
{
    struct Case {
        std::string name;
        const char* crawler;
    };
    const Case cases[] = {
        {"GPTBot", "GPTBot"},
        {"claude-user", "Claude-User"},
        {"Google", "Googlebot"}, // the crawler column's name
        {gbk("百度"), "Baiduspider"},
        {"MSN", "bingbot"},     // msnbot became bingbot
        {"msnbot", "bingbot"},
        {"SogouBot", "Sogou"},
        {"Sosospider+", "Sosospider"},
        {gbk("必应"), "bingbot"},
        {"Mozilla/5.0 (compatible; PetalBot;+https://webmaster.petalsearch.com/site/petalbot)", "PetalBot"},
        {"Mozilla/5.0+(compatible;+Baiduspider/2.0)", "Baiduspider"},
        {"notGPTBot", ""},
        {"curl/7.88", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(keyOf(crawlerByName(c.name)), c.crawler) << c.name;
}

TEST(CrawlerRegistry, everyCrawlerTableRowHasAnEntry)
{
    const char* keys[] = {"Googlebot", "Baiduspider", "Yahoo",     "Sogou",            "Sosospider", "YoudaoBot", "YoudaoBot",
                          "qihoobot",  "Twiceler",    "bingbot",   "AppEngine-Google", "SurveyBot",  "Gigabot"};
    for (int row = 1; row <= 13; ++row)
        EXPECT_EQ(keyOf(crawlerOfRow(row)), keys[row - 1]) << row;
    EXPECT_EQ(crawlerOfRow(0), kNoCrawler);
    EXPECT_EQ(crawlerOfRow(14), kNoCrawler);
}

TEST(CrawlerRegistry, entriesAreCompleteAndDistinct)
{
    std::set<std::string> keys, tokens;
    for (const CrawlerEntry& entry : crawlerRegistry()) {
        EXPECT_TRUE(keys.insert(entry.key).second) << entry.key;
        EXPECT_FALSE(entry.tokens.empty()) << entry.key;
        for (const std::string& token : entry.tokens)
            EXPECT_TRUE(tokens.insert(token).second) << token; // one token, one crawler
        EXPECT_FALSE(entry.name.empty()) << entry.key;
        EXPECT_FALSE(entry.source.empty()) << entry.key;
        EXPECT_FALSE(entry.confirmed.empty()) << entry.key;
    }
    for (const char* required :
         {"Googlebot", "AdsBot-Google", "bingbot", "Baiduspider", "Sogou", "360Spider", "YisouSpider", "Bytespider",
          "PetalBot", "YandexBot", "Applebot", "DuckDuckBot", "GPTBot", "OAI-SearchBot", "ChatGPT-User", "ClaudeBot",
          "Claude-User", "Claude-SearchBot", "PerplexityBot", "Perplexity-User", "CCBot", "Amazonbot",
          "meta-externalagent", "AhrefsBot", "SemrushBot", "MJ12bot", "DotBot"})
        EXPECT_TRUE(keys.count(required)) << required;
}

TEST(CrawlerRegistry, groupsByWordOrName)
{
    const auto ai = crawlersOfGroup("AI");
    ASSERT_TRUE(ai);
    EXPECT_TRUE(ai->test(crawlerByName("GPTBot")));
    EXPECT_TRUE(ai->test(crawlerByName("ChatGPT-User")));
    EXPECT_TRUE(ai->test(crawlerByName("PerplexityBot")));
    EXPECT_FALSE(ai->test(crawlerByName("Googlebot")));
    EXPECT_EQ(*ai, aiCrawlers());

    const auto training = crawlersOfGroup(gbk("AI 训练"));
    ASSERT_TRUE(training);
    EXPECT_EQ(*training, *crawlersOfGroup("ai-training"));
    EXPECT_TRUE(training->test(crawlerByName("CCBot")));
    EXPECT_FALSE(training->test(crawlerByName("OAI-SearchBot")));
    EXPECT_TRUE(crawlersOfGroup("seo")->test(crawlerByName("AhrefsBot")));
    EXPECT_FALSE(crawlersOfGroup("robots"));
    EXPECT_FALSE(crawlersOfGroup(""));
}

TEST(CrawlerRegistry, listAddressFollowsItsHostVariable)
{
    const PublishedList& gptbot = publishedLists()[static_cast<size_t>(*publishedListIndex("gptbot.json"))];
    EXPECT_EQ(publishedListUrl(gptbot), "https://openai.com/gptbot.json");
    {
        test::ScopedEnv host(gptbot.hostVariable.c_str(), "http://127.0.0.1:8080");
        EXPECT_EQ(publishedListUrl(gptbot), "http://127.0.0.1:8080/gptbot.json");
    }
    test::ScopedEnv bare(gptbot.hostVariable.c_str(), "mirror.example");
    EXPECT_EQ(publishedListUrl(gptbot), "https://mirror.example/gptbot.json");
    EXPECT_FALSE(publishedListIndex("nothing.json"));
}

} // namespace
