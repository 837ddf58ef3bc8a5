#include "platform/CodePage.h"
#include "support/DnsTestServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>

using namespace quill;
using quill::test::DnsTestServer;
using quill::test::TempFolder;

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the command line with the DNS server of `dns`, in a folder of its own.
CliRun runCli(const DnsTestServer& dns, const std::string& arguments)
{
    TempFolder errors;
    const std::string command = "QUILLMARK_DNS_SERVER=" + dns.address() + " " + QUILLMARK_CLI_PATH + " " + arguments +
                                " 2>'" + errors.file("err") + "'";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    while (size_t got = std::fread(buffer, 1, sizeof buffer, pipe))
        run.out.append(buffer, got);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::ifstream err(errors.file("err"), std::ios::binary);
    run.err.assign(std::istreambuf_iterator<char>(err), {});
    return run;
}

std::string logLine(const char* address, const char* agent)
{
    return std::string("2026-11-30 00:00:00 W3SVC1 192.168.1.10 GET / - 80 - ") + address + " " + agent +
           " 200 0 0 100 50 15 -\r\n";
}

const std::string kHeader =
    "#Software: Microsoft Internet Information Services 6.0\r\n"
    "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip "
    "cs(User-Agent) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken cs(Referer)\r\n";

class VerifyCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
        dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
        dns.addPtr("2001:4860:4801:1::1", {"crawl-v6.googlebot.com"});
        dns.addAddresses("crawl-v6.googlebot.com", {"2001:4860:4801:1::1"});
        dns.addPtr("10.0.0.2", {"crawl.googlebot.com.evil.net"});
        dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com"});
        dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
        dns.setBehaviour("10.0.0.3", DnsTestServer::Behaviour::ServFail);
    }

    DnsTestServer dns;
    TempFolder folder;
};

TEST_F(VerifyCommands, verifyPrintsVerdictAndTheNamesItSaw)
{
    struct Case {
        std::string arguments;
        int exitCode;
        std::string out;
    };
    const Case cases[] = {
        {"verify 66.249.66.1 Googlebot", 0, "已验证\tcrawl-66-249-66-1.googlebot.com\t66.249.66.1\n"},
        {"verify 66.249.66.1 google", 0, "已验证\tcrawl-66-249-66-1.googlebot.com\t66.249.66.1\n"},
        {"verify 2001:4860:4801:1::1 GOOGLEBOT", 0, "已验证\tcrawl-v6.googlebot.com\t2001:4860:4801:1::1\n"},
        {"verify 10.0.0.2 Googlebot", 0, "伪装\tcrawl.googlebot.com.evil.net\t\n"},
        {"verify 66.249.66.1 百度", 0, "伪装\tcrawl-66-249-66-1.googlebot.com\t\n"},
        {"verify 10.0.0.3 Baiduspider", 0, "未知\t\t\n"},
        {"verify 66.249.66.1 qihoobot", 0, "无法验证\t\t\n"},
        {"verify not-an-ip Googlebot", 1, ""},
        {"verify 66.249.66.1 NoSuchBot", 2, ""},
        {"verify 66.249.66.1", 2, ""},
        {"verify 66.249.66.1 Googlebot extra", 2, ""},
    };
    for (const Case& c : cases) {
        const CliRun run = runCli(dns, c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, c.out) << c.arguments;
    }
}

TEST_F(VerifyCommands, loadAddsTheVerdictAsLastColumnAndReusesTheCache)
{
    const std::string log = folder.write("ex.log", kHeader + logLine("66.249.66.1", "Googlebot/2.1") +
                                                       logLine("10.0.0.9", "Mozilla/5.0") +
                                                       logLine("10.0.0.2", "Googlebot/2.1") +
                                                       logLine("123.125.71.12", "Baiduspider"));
    const std::string cache = folder.file("cache.txt");
    const std::string arguments = "load --verify --cache '" + cache + "' '" + log + "'";
    const CliRun first = runCli(dns, arguments);
    ASSERT_EQ(first.exitCode, 0) << first.err;
    std::vector<std::string> lastColumns;
    for (size_t start = 0, end; (end = first.out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = first.out.substr(start, end - start);
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 17) << line;
        lastColumns.push_back(line.substr(line.rfind('\t') + 1));
    }
    EXPECT_EQ(lastColumns, (std::vector<std::string>{"已验证", "", "伪装", "已验证"}));
    const size_t asked = dns.queriesReceived();

    const CliRun second = runCli(dns, arguments);
    EXPECT_EQ(second.out, first.out);
    EXPECT_EQ(dns.queriesReceived(), asked); // every verdict came from the cache file

    // Without --verify the columns and the server stay as they were.
    const CliRun plain = runCli(dns, "load '" + log + "'");
    EXPECT_EQ(std::count(plain.out.begin(), plain.out.end(), '\t'), 4 * 16);
    EXPECT_EQ(dns.queriesReceived(), asked);
    EXPECT_EQ(runCli(dns, "load --cache x '" + log + "'").exitCode, 2);
}

TEST_F(VerifyCommands, statsPrintsVerifiedAndFakeCountsPerEngine)
{
    const std::string logs = folder.path() + "/logs";
    std::filesystem::create_directory(logs);
    TempFolder::writeFile(logs + "/ex1.log", kHeader + logLine("66.249.66.1", "Googlebot/2.1") +
                                                 logLine("66.249.66.1", "Googlebot/2.1") +
                                                 logLine("10.0.0.2", "Googlebot/2.1") +
                                                 logLine("123.125.71.12", "Baiduspider") +
                                                 logLine("10.0.0.3", "Baiduspider") + logLine("10.0.0.9", "Mozilla"));
    const CliRun run = runCli(dns, "stats --verify --cache '" + folder.file("cache.txt") + "' '" + logs + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // verified: Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN; then the fakes in the same order
    EXPECT_EQ(run.out, "ex1.log\t0.8K\t1\t2\t0\t0\t0\t0\t0\t0\t1\t0\t0\t0\t0\t0\n");
}

} // namespace
