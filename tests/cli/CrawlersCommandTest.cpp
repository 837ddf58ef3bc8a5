#include "support/LogFixtures.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

using quill::test::runCli;
using quill::test::TempFolder;

namespace {

std::string line(const char* address, const char* agent)
{
    return quill::test::iisLine({.dateTime = "2026-12-01 00:00:00", .serverIp = "192.168.1.10", .stem = "/a.htm",
                                 .client = address, .agent = agent, .bytesSent = "100", .bytesReceived = "50"});
}

const char* kGptbotList = R"({"creationTime": "2099-01-01T00:00:00", "prefixes": [{"ipv4Prefix": "20.171.206.0/24"}]})";

// Lists from a folder, and a log of today's crawlers; no DNS is reachable.
class CrawlerCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("QUILLMARK_DNS_SERVER", "127.0.0.1:9", 1);
        lists.write("gptbot.json", kGptbotList);
        lists.write("searchbot.json", "<html>moved</html>");
        logs.write("ex261201.log", std::string(quill::test::kIis6Header) +
                                       line("20.171.206.7", "Mozilla/5.0+(compatible;+GPTBot/1.3)") +
                                       line("5.6.7.8", "Mozilla/5.0+(compatible;+GPTBot/1.3)") +
                                       line("5.6.7.9", "notGPTBot/1.0") +
                                       line("5.6.7.10", "Mozilla/5.0+(compatible;+ClaudeBot/1.0)") +
                                       line("5.6.7.11", "Mozilla/5.0+(Windows+NT+10.0)"));
    }
    void TearDown() override { unsetenv("QUILLMARK_DNS_SERVER"); }

    TempFolder lists, logs, work;
};

TEST_F(CrawlerCommands, updateReportsWhatChangedAndKeepsGoodLists)
{
    const std::string file = work.file("lists.txt");
    auto first = runCli({"crawlers", "update", "--lists-from", lists.path(), "--file", file});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_NE(first.out.find("gptbot.json: 新表，共 1 段（2099-01-01）\n"), std::string::npos) << first.out;
    EXPECT_NE(first.out.find("searchbot.json: 不是有效的 JSON"), std::string::npos) << first.out;
    EXPECT_NE(first.err.find("1 个表，1 段"), std::string::npos) << first.err;

    lists.write("gptbot.json", "{\"prefixes\": [");
    auto second = runCli({"crawlers", "update", "--lists-from", lists.path(), "--file", file});
    EXPECT_EQ(second.exitCode, 1); // nothing could be read this time
    EXPECT_NE(second.out.find("gptbot.json: 不是有效的 JSON"), std::string::npos) << second.out;
    EXPECT_NE(second.out.find("保留旧表（共 1 段）"), std::string::npos) << second.out;
    EXPECT_NE(quill::test::readFile(file).find("20.171.206.0/24"), std::string::npos);

    EXPECT_EQ(runCli({"crawlers", "update", "--file"}).exitCode, 2);
    EXPECT_EQ(runCli({"crawlers", "forget"}).exitCode, 2);
    const auto listed = runCli({"crawlers", "list"});
    EXPECT_EQ(listed.exitCode, 0);
    EXPECT_NE(listed.out.find("GPTBot\tGPTBot\tAI 训练\t列表 gptbot.json\t"), std::string::npos);
}

TEST_F(CrawlerCommands, verifyByListNamesTheList)
{
    auto verified = runCli({"verify", "--lists-from", lists.path(), "20.171.206.7", "gptbot"});
    EXPECT_EQ(verified.exitCode, 0);
    EXPECT_EQ(verified.out, "已验证\t\t\n");
    EXPECT_NE(verified.err.find("依据 gptbot.json（2099-01-01）"), std::string::npos) << verified.err;
    EXPECT_NE(verified.err.find("searchbot.json"), std::string::npos); // there but unusable
    EXPECT_EQ(runCli({"verify", "--lists-from", lists.path(), "::ffff:5.6.7.8", "GPTBot"}).out, "伪装\t\t\n");
    EXPECT_EQ(runCli({"verify", "--lists-from", lists.path(), "5.6.7.8", "ClaudeBot"}).out, "未知\t\t\n");
    EXPECT_EQ(runCli({"verify", "5.6.7.8", "notGPTBot"}).exitCode, 2);
}

TEST_F(CrawlerCommands, loadKeepsGroupsAndCrawlersAndVerifiesThem)
{
    auto ai = runCli({"load", "--group", "ai", "--verify", "--cache", work.file("cache.txt"), "--lists-from",
                      lists.path(), logs.file("ex261201.log")});
    ASSERT_EQ(ai.exitCode, 0) << ai.err;
    EXPECT_EQ(std::count(ai.out.begin(), ai.out.end(), '\n'), 3);
    EXPECT_NE(ai.out.find("20.171.206.7\t"), std::string::npos);
    EXPECT_NE(ai.out.find("\t已验证\n"), std::string::npos);
    EXPECT_NE(ai.out.find("\t伪装\n"), std::string::npos);
    EXPECT_NE(ai.out.find("\t未知\n"), std::string::npos); // ClaudeBot: its list was never fetched
    EXPECT_EQ(ai.out.find("notGPTBot"), std::string::npos);

    auto claude = runCli({"load", "--crawler", "ClaudeBot", "--count", logs.file("ex261201.log")});
    EXPECT_NE(claude.out.find("共有 1条记录"), std::string::npos) << claude.out;
    EXPECT_EQ(runCli({"load", "--group", "robots", logs.file("ex261201.log")}).exitCode, 2);
    EXPECT_EQ(runCli({"load", "--lists-from", lists.path(), logs.file("ex261201.log")}).exitCode, 2);
}

TEST_F(CrawlerCommands, statsByGroupAndByCrawler)
{
    auto groups = runCli({"stats", "--by", "group", logs.path()});
    ASSERT_EQ(groups.exitCode, 0) << groups.err;
    EXPECT_EQ(groups.out, "日志文件名\t大小\t搜索引擎\tAI 训练\tAI 搜索\tAI 代取\tSEO 工具\t其他\n"
                          "ex261201.log\t0.9K\t0\t3\t0\t0\t0\t0\n");
    auto top = runCli({"stats", "--by", "crawler", "--top", "1", "--group", "ai-training", "--csv", logs.path()});
    EXPECT_EQ(top.out, "\xEF\xBB\xBF日志文件名,大小,GPTBot,其余\r\nex261201.log,0.9K,2,1\r\n");
    EXPECT_EQ(runCli({"stats", "--top", "3", logs.path()}).exitCode, 2);
    EXPECT_EQ(runCli({"stats", "--by", "group", "--verify", logs.path()}).exitCode, 2);
    EXPECT_EQ(runCli({"stats", "--by", "crawler", "--top", "0", logs.path()}).exitCode, 2);
}

} // namespace
