#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/DnsTestServer.h"
#include "support/RunProcess.h"
#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

using namespace quill;
using quill::test::DnsTestServer;
using quill::test::TempFolder;

namespace {

using quill::test::ProcessResult;
using quill::test::runCli;

std::string logLine(const char* address, const char* agent)
{
    return test::iisLine({.dateTime = "2026-11-30 00:00:00", .serverIp = "192.168.1.10", .client = address,
                          .agent = agent, .bytesSent = "100", .bytesReceived = "50"});
}

class VerifyCommands : public ::testing::Test {
protected:
    // The command line inherits the server setting.
    void SetUp() override
    {
        setenv("QUILLMARK_DNS_SERVER", dns.address().c_str(), 1);
        dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
        dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
        dns.addPtr("2001:4860:4801:1::1", {"crawl-v6.googlebot.com"});
        dns.addAddresses("crawl-v6.googlebot.com", {"2001:4860:4801:1::1"});
        dns.addPtr("10.0.0.2", {"crawl.googlebot.com.evil.net"});
        dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com"});
        dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
        dns.setBehaviour("10.0.0.3", DnsTestServer::Behaviour::ServFail);
    }
    void TearDown() override { unsetenv("QUILLMARK_DNS_SERVER"); }

    DnsTestServer dns;
    TempFolder folder;
};

TEST_F(VerifyCommands, verifyPrintsVerdictAndTheNamesItSaw)
{
    struct Case {
        std::vector<std::string> arguments;
        int exitCode;
        std::string out;
    };
    const Case cases[] = {
        {{"66.249.66.1", "Googlebot"}, 0, "已验证\tcrawl-66-249-66-1.googlebot.com\t66.249.66.1\n"},
        {{"66.249.66.1", "google"}, 0, "已验证\tcrawl-66-249-66-1.googlebot.com\t66.249.66.1\n"},
        {{"2001:4860:4801:1::1", "GOOGLEBOT"}, 0, "已验证\tcrawl-v6.googlebot.com\t2001:4860:4801:1::1\n"},
        {{"10.0.0.2", "Googlebot"}, 0, "伪装\tcrawl.googlebot.com.evil.net\t\n"},
        {{"66.249.66.1", "百度"}, 0, "伪装\tcrawl-66-249-66-1.googlebot.com\t\n"},
        {{"10.0.0.3", "Baiduspider"}, 0, "未知\t\t\n"},
        {{"66.249.66.1", "qihoobot"}, 0, "无法验证\t\t\n"},
        {{"not-an-ip", "Googlebot"}, 1, ""},
        {{"66.249.66.1", "NoSuchBot"}, 2, ""},
        {{"66.249.66.1"}, 2, ""},
        {{"66.249.66.1", "Googlebot", "extra"}, 2, ""},
    };
    for (const Case& c : cases) {
        std::vector<std::string> arguments = {"verify"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        const ProcessResult run = runCli(arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments.front() << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.arguments.front();
    }
}

TEST_F(VerifyCommands, loadAddsTheVerdictAsLastColumnAndReusesTheCache)
{
    const std::string log = folder.write("ex.log", std::string(test::kIis6Header) + logLine("66.249.66.1", "Googlebot/2.1") +
                                                       logLine("10.0.0.9", "Mozilla/5.0") +
                                                       logLine("10.0.0.2", "Googlebot/2.1") +
                                                       logLine("123.125.71.12", "Baiduspider"));
    const std::string cache = folder.file("cache.txt");
    const std::vector<std::string> arguments = {"load", "--verify", "--cache", cache, log};
    const ProcessResult first = runCli(arguments);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    std::vector<std::string> lastColumns;
    for (size_t start = 0, end; (end = first.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = first.out.substr(start, end - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 17) << line;
        lastColumns.push_back(line.substr(line.rfind('\t') + 1));
    }
    EXPECT_EQ(lastColumns, (std::vector<std::string>{"已验证", "", "伪装", "已验证"}));
    const size_t asked = dns.queriesReceived();

    const ProcessResult second = runCli(arguments);
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(dns.queriesReceived(), asked); // every verdict came from the cache file

    // Without --verify the columns and the server stay as they were.
    const ProcessResult plain = runCli({"load", log});
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\t'), 4 * 16);
    EXPECT_EQ(dns.queriesReceived(), asked);
    EXPECT_EQ(runCli({"load", "--cache", "x", log}).exitCode, 2);
}

TEST_F(VerifyCommands, statsPrintsVerifiedAndFakeCountsPerEngine)
{
    const std::string logs = folder.path() + "/logs";
    std::filesystem::create_directory(logs);
    TempFolder::writeFile(logs + "/ex1.log", std::string(test::kIis6Header) + logLine("66.249.66.1", "Googlebot/2.1") +
                                                 logLine("66.249.66.1", "Googlebot/2.1") +
                                                 logLine("10.0.0.2", "Googlebot/2.1") +
                                                 logLine("123.125.71.12", "Baiduspider") +
                                                 logLine("10.0.0.3", "Baiduspider") + logLine("10.0.0.9", "Mozilla"));
    const ProcessResult run = runCli({"stats", "--verify", "--cache", folder.file("cache.txt"), logs});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // verified: Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN; then the fakes and the undecided
    // (the server failed for 10.0.0.3) in the same order
    EXPECT_EQ(run.out, "ex1.log\t0.9K\t1\t2\t0\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\t0\n");
    EXPECT_EQ(run.err, "1 个地址未验证\n");
}

TEST_F(VerifyCommands, csvCarriesTheVerdictsAndArchivesCountAsTheirLogs)
{
    const std::string text = std::string(test::kIis6Header) + logLine("66.249.66.1", "Googlebot/2.1") +
                             logLine("10.0.0.9", "Mozilla/5.0") + logLine("10.0.0.2", "Googlebot/2.1");
    const std::string cache = folder.file("cache.txt");
    const ProcessResult rows = runCli({"load", "--csv", "--verify", "--cache", cache, folder.write("ex.log", text)});
    ASSERT_EQ(rows.exitCode, 0) << rows.err;
    const std::string header = rows.out.substr(0, rows.out.find("\r\n"));
    EXPECT_TRUE(header.ends_with(",验证")) << header;
    std::vector<std::string> lastFields;
    for (size_t start = header.size() + 2, end; (end = rows.out.find("\r\n", start)) != std::string::npos;
         start = end + 2)
        lastFields.push_back(rows.out.substr(rows.out.rfind(',', end) + 1, end - rows.out.rfind(',', end) - 1));
    EXPECT_EQ(lastFields, (std::vector<std::string>{"已验证", "", "伪装"}));

    // The statistics read a gzip file and a ZIP archive as the log inside them.
    const std::string logs = folder.path() + "/logs";
    std::filesystem::create_directory(logs);
    TempFolder::writeFile(logs + "/ex1.log.gz", test::gzipBytes(text));
    TempFolder::writeFile(logs + "/ex2.zip", test::zipBytes({{"ex2.log", text}}));
    const ProcessResult stats = runCli({"stats", "--verify", "--cache", cache, logs});
    ASSERT_EQ(stats.exitCode, 0) << stats.err;
    const std::string counts = "\t0\t1\t0\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\t0\n";
    EXPECT_EQ(stats.out, "ex1.log.gz\t0.6K" + counts + "ex2.zip\t0.6K" + counts);
    const ProcessResult csv = runCli({"stats", "--csv", "--verify", "--cache", cache, logs});
    ASSERT_EQ(csv.exitCode, 0) << csv.err;
    EXPECT_TRUE(csv.out.starts_with("\xEF\xBB\xBF日志文件名,大小,百度 已验证,")) << csv.out;
    EXPECT_NE(csv.out.find(",MSN 伪装,百度 未验证,"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find(",MSN 未验证\r\nex1.log.gz,0.6K,0,1,"), std::string::npos) << csv.out;
}

} // namespace
