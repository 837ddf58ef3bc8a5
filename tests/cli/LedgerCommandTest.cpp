#include "../ledger/LedgerTestSupport.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill::test;

namespace {

class LedgerCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<Visit> visits = {
            Visit{.day = "2026-11-30", .path = "/a.htm", .agent = kBaiduAgent},
            Visit{.day = "2026-11-30", .path = "/a.htm", .agent = kBaiduAgent, .status = 404},
            Visit{.day = "2026-12-01", .path = "/b.htm", .agent = kGoogleAgent},
            Visit{.day = "2026-12-01", .path = "/b.htm"},
        };
        m_log = m_folder.write("ex.log", iis6Log(visits));
        m_ledger = m_folder.file("ledger.db");
    }
    ProcessResult ledger(std::vector<std::string> args)
    {
        args.insert(args.begin(), {"ledger", "--ledger", m_ledger});
        return runCli(args);
    }

    TempFolder m_folder;
    std::string m_log;
    std::string m_ledger;
};

TEST_F(LedgerCommand, addsEachFileOnceAndSaysWhatItAdded)
{
    const ProcessResult first = ledger({"add", m_log});
    EXPECT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, m_log + "\t新增 4 行\n");
    const ProcessResult again = ledger({"add", m_log, m_folder.file("gone.log")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_EQ(again.out.substr(0, again.out.find('\n')), m_log + "\t已在档案中，没有新行");
    EXPECT_NE(again.out.find("gone.log\t无法读取: "), std::string::npos);
}

TEST_F(LedgerCommand, printsEachViewWithItsCaptionsOverTheRangeAsked)
{
    ASSERT_EQ(ledger({"add", m_log}).exitCode, 0);
    struct Case {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"days"}, "日期\t全部请求\t蜘蛛请求\t伪装\t百度\tGoogle\n2026-11-30\t2\t2\t0\t2\t0\n2026-12-01\t2\t1\t0\t0\t1\n"},
        {{"days", "--from", "2026-12-01"}, "日期\t全部请求\t蜘蛛请求\t伪装\tGoogle\n2026-12-01\t2\t1\t0\t1\n"},
        {{"--crawler", "baiduspider", "status"},
         "日期\t蜘蛛\t抓取\t2xx\t3xx\t4xx\t5xx\t非200\t浪费\n全部\t百度\t2\t1\t0\t1\t0\t1\t50.0%\n"
         "2026-11-30\t百度\t2\t1\t0\t1\t0\t1\t50.0%\n"},
        {{"urls", "--to", "2026-11-30"},
         "URL\t百度\t合计\t首次抓取\t最近抓取\t未抓天数\t2xx\t3xx\t4xx\t5xx\t平均用时(ms)\t字节\n"
         "/a.htm\t2\t2\t2026-11-30\t2026-11-30\t0\t50.0%\t0.0%\t50.0%\t0.0%\t10\t200\n"},
        {{"dirs", "--crawler", "Google"},
         "目录\tGoogle\t合计\t首次抓取\t最近抓取\t未抓天数\t2xx\t3xx\t4xx\t5xx\t平均用时(ms)\t字节\n"
         "/\t1\t1\t2026-12-01\t2026-12-01\t0\t100.0%\t0.0%\t0.0%\t0.0%\t10\t100\n"},
        {{"fakes"}, "IP\t冒充\t次数\t首次\t最近\t常抓URL\n"},
        {{"sql", "SELECT name, crawler_group FROM crawler ORDER BY id"}, "name\tcrawler_group\nGoogle\t搜索引擎\n百度\t搜索引擎\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = ledger(c.args);
        EXPECT_EQ(result.exitCode, 0) << c.args[0] << ": " << result.err;
        EXPECT_EQ(result.out, c.out) << c.args[0];
    }
    const ProcessResult hours = ledger({"hours", "--csv"});
    EXPECT_EQ(hours.out.substr(0, 3), "\xEF\xBB\xBF");
    EXPECT_NE(hours.out.find("\r\n10:00-10:59,2,1,3\r\n"), std::string::npos) << hours.out;
}

// A cell a spreadsheet would run as a formula is written as text, unless asked for verbatim.
TEST_F(LedgerCommand, csvWritesFormulaStartsAsTextUnlessRaw)
{
    ASSERT_EQ(ledger({"add", m_log}).exitCode, 0);
    const std::string query = "SELECT '=HYPERLINK(\"x\")' AS cell, '-' AS empty, '-12' AS number";
    struct Case {
        const char* option;
        std::string row;
    } cases[] = {
        {"--csv", "\r\n\"'=HYPERLINK(\"\"x\"\")\",-,-12\r\n"},
        {"--csv-raw", "\r\n\"=HYPERLINK(\"\"x\"\")\",-,-12\r\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult result = ledger({"sql", c.option, query});
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, std::string("\xEF\xBB\xBF") + "cell,empty,number" + c.row) << c.option;
    }
}

TEST_F(LedgerCommand, comparesASitemapWithTheCrawledPaths)
{
    ASSERT_EQ(ledger({"add", m_log}).exitCode, 0);
    const std::string sitemap = m_folder.write("sitemap.txt", "http://s/a.htm\nhttp://s/never.htm\n");
    const ProcessResult result = ledger({"uncrawled", sitemap});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, "类别\tURL\n未被抓取\thttp://s/never.htm\n不在网站地图中\t/b.htm\n");
}

TEST_F(LedgerCommand, refusesWhatItCannotDoAndSaysWhy)
{
    const ProcessResult missing = ledger({"days"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("抓取档案还不存在"), std::string::npos);
    ASSERT_EQ(ledger({"add", m_log}).exitCode, 0);
    const std::string before = readFile(m_ledger);
    const ProcessResult write = ledger({"sql", "DELETE FROM crawl"});
    EXPECT_EQ(write.exitCode, 1);
    EXPECT_NE(write.err.find("只能执行只读的查询"), std::string::npos) << write.err;
    EXPECT_EQ(ledger({"sql", "SELECT count(*) FROM crawl"}).out, "count(*)\n3\n");
    EXPECT_EQ(readFile(m_ledger), before);
    const ProcessResult unknown = ledger({"urls", "--crawler", "nobody"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_NE(unknown.err.find("抓取档案中没有这个蜘蛛"), std::string::npos);
    for (std::vector<std::string> usage : {std::vector<std::string>{"days", "--from", "2026-13-01"},
                                           {"urls", "extra"}, {"uncrawled"}, {"add"}, {"frobnicate"}, {"add", "--csv", m_log}})
        EXPECT_EQ(ledger(usage).exitCode, 2) << usage[0];
}

// quillmarkbox-cli report: the page to a file, the JSON to stdout, over the days asked.
TEST_F(LedgerCommand, reportWritesThePageOrTheJsonOfTheRangeAsked)
{
    ASSERT_EQ(ledger({"add", m_log}).exitCode, 0);
    const std::string page = m_folder.file("report.html");
    const ProcessResult html = runCli({"report", "--ledger", m_ledger, "-o", page});
    EXPECT_EQ(html.exitCode, 0) << html.err;
    EXPECT_NE(readFile(page).find("2026-11-30 至 2026-12-01"), std::string::npos);
    const ProcessResult json = runCli({"report", "--ledger", m_ledger, "--from", "2026-12-01", "--json", "-o", "-"});
    EXPECT_EQ(json.exitCode, 0) << json.err;
    EXPECT_NE(json.out.find("\"from\": \"2026-12-01\",\n  \"to\": \"2026-12-01\",\n  \"requests\": 2,\n  \"crawler_hits\": 1,"),
              std::string::npos)
        << json.out;
    const ProcessResult missing = runCli({"report", "--ledger", m_folder.file("none.db"), "-o", page});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("抓取档案还不存在"), std::string::npos);
    EXPECT_EQ(runCli({"report", "--ledger", m_ledger}).exitCode, 2);
    EXPECT_EQ(runCli({"report", "--from", "yesterday", "-o", page}).exitCode, 2);
}

} // namespace
