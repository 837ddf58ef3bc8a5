#include "report/CrawlReport.h"

#include "../ledger/LedgerTestSupport.h"
#include "ledger/LedgerAdd.h"
#include "platform/CodePage.h"
#include "report/ReportHtml.h"
#include "report/ReportJson.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

using namespace quill;
using namespace quill::test;

namespace {

constexpr const char* kGptAgent =
    "Mozilla/5.0+AppleWebKit/537.36+(KHTML,+like+Gecko;+compatible;+GPTBot/1.1;++https://openai.com/gptbot)";

// Four days of a site whose paths need escaping in a page and decoding for people.
std::vector<Visit> reportVisits()
{
    const char* days[] = {"2026-11-28", "2026-11-29", "2026-11-30", "2026-12-01"};
    const char* agents[] = {kBaiduAgent, kGoogleAgent, kGptAgent, "Mozilla/5.0+(X11)"};
    const char* paths[] = {"/", "/news/a.htm", "/news/2026/b.htm", "/q?<b>&\"'.htm", "/%E6%96%B0%E9%97%BB.htm"};
    const int statuses[] = {200, 200, 301, 404, 200, 500, 200};
    std::vector<Visit> visits;
    for (int i = 0; i < 300; ++i) {
        Visit v;
        v.day = days[i * 4 / 300];
        v.time = (i % 24 < 10 ? "0" : "") + std::to_string(i % 24) + ":05:00";
        v.agent = agents[i % 4];
        // The oldest day alone sees the escaped path: it is the longest uncrawled.
        v.path = paths[i < 75 ? i % 5 : i % 3];
        v.status = statuses[i % 7];
        visits.push_back(v);
    }
    return visits;
}

// What the report must show, counted from the visits themselves.
struct Expected {
    std::int64_t requests = 0, crawlerHits = 0, not200 = 0;
    std::set<std::string> urls;
    std::map<std::string, std::int64_t> perCrawler;
    std::map<std::string, std::int64_t> perPath;
    std::array<std::int64_t, 24> hours{};
};

Expected expectedOf(const std::vector<Visit>& visits)
{
    Expected e;
    for (const Visit& v : visits) {
        ++e.requests;
        const std::string agent = v.agent;
        const std::string name = agent.find("Baiduspider") != std::string::npos ? "百度"
                                 : agent.find("Googlebot") != std::string::npos ? "Google"
                                 : agent.find("GPTBot") != std::string::npos    ? "GPTBot"
                                                                                : "";
        if (name.empty())
            continue;
        ++e.crawlerHits;
        e.not200 += v.status != 200;
        e.urls.insert(v.path);
        ++e.perCrawler[name];
        ++e.perPath[v.path];
        ++e.hours[static_cast<size_t>(std::stoi(v.time.substr(0, 2)))];
    }
    return e;
}

class CrawlReportTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ledger = m_folder.file("ledger.db");
        auto store = Ledger::open(m_ledger, LedgerOpenOptions{LedgerAccess::Write, 30000});
        ASSERT_TRUE(store.ok()) << store.status().message();
        const std::atomic<bool> stop{false};
        ASSERT_TRUE(addLogs(*store.value(), {m_folder.write("ex.log", iis6Log(reportVisits()))}, {}, stop, {}).ok());
    }
    CrawlReport report(DateRange range = {})
    {
        auto views = LedgerViews::open(m_ledger);
        EXPECT_TRUE(views.ok());
        if (!views.ok())
            return {};
        auto built = buildCrawlReport(*views.value(), range);
        EXPECT_TRUE(built.ok()) << built.status().message();
        return built.ok() ? built.value() : CrawlReport{};
    }

    TempFolder m_folder;
    std::string m_ledger;
};

TEST_F(CrawlReportTest, figuresMatchAnIndependentCountOfTheVisits)
{
    const std::vector<Visit> visits = reportVisits();
    struct Case {
        DateRange range;
        std::vector<Visit> counted;
    } cases[] = {
        {{}, visits},
        {{20261129, 20261130}, {visits.begin() + 75, visits.begin() + 225}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.range.from);
        const Expected e = expectedOf(c.counted);
        const CrawlReport r = report(c.range);
        EXPECT_EQ(r.requests, e.requests);
        EXPECT_EQ(r.crawlerHits, e.crawlerHits);
        EXPECT_EQ(r.not200, e.not200);
        EXPECT_EQ(r.urlsCrawled, static_cast<std::int64_t>(e.urls.size()));
        EXPECT_EQ(r.hours, e.hours);
        std::map<std::string, std::int64_t> perCrawler;
        for (const ReportCrawler& crawler : r.crawlers)
            perCrawler[gbkToUtf8(crawler.name)] = crawler.hits;
        EXPECT_EQ(perCrawler, e.perCrawler);
        ASSERT_FALSE(r.topUrls.empty());
        std::int64_t most = 0;
        for (const auto& [path, hits] : e.perPath)
            most = std::max(most, hits);
        EXPECT_EQ(r.topUrls[0].hits, most);
        for (size_t i = 1; i < r.topUrls.size(); ++i)
            EXPECT_GE(r.topUrls[i - 1].hits, r.topUrls[i].hits);
    }
    const CrawlReport all = report();
    EXPECT_EQ(all.range.from, 20261128);
    EXPECT_EQ(all.range.to, 20261201);
    ASSERT_FALSE(all.staleUrls.empty());
    EXPECT_EQ(all.staleUrls[0].lastDay, 20261128);
    EXPECT_EQ(all.staleUrls[0].daysSince, 3);
    const auto ai = std::count_if(all.crawlers.begin(), all.crawlers.end(),
                                  [](const ReportCrawler& c) { return isAiGroup(c.group); });
    EXPECT_EQ(ai, 1);
}

// The page opens from disk anywhere: well-formed, nothing fetched from elsewhere, every logged text
// escaped, and the figures of the ledger's own queries in it.
TEST_F(CrawlReportTest, htmlIsSelfContainedValidAndShowsTheFigures)
{
    const std::string html = reportHtml(report());
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find("<script"), std::string::npos);
    EXPECT_NE(html.find("/q?&lt;b&gt;&amp;&quot;&#39;.htm"), std::string::npos);
    EXPECT_NE(html.find("/新闻.htm"), std::string::npos);
    EXPECT_NE(html.find("2026-11-28 至 2026-12-01"), std::string::npos);
    const std::string sum =
        ledgerRows(m_ledger, "SELECT sum(c.hits) FROM crawl c JOIN crawler k ON k.id = c.crawler_id WHERE k.name = 'Google'").at(0);
    EXPECT_NE(html.find("<td class=\"p\">Google</td>\n<td>搜索引擎</td>\n<td class=\"n\">" + sum + "</td>"), std::string::npos);

    if (!std::filesystem::exists("/usr/bin/xmllint"))
        GTEST_SKIP() << "xmllint is not installed";
    const std::string path = m_folder.write("report.html", html);
    const ProcessResult xml = runProcess({"/usr/bin/xmllint", "--noout", path});
    EXPECT_EQ(xml.exitCode, 0) << xml.err;
    EXPECT_EQ(xml.err, "");
    // The HTML 4 parser knows no HTML 5 or SVG element names; anything else it says is a fault.
    const ProcessResult parsed = runProcess({"/usr/bin/xmllint", "--html", "--noout", path});
    EXPECT_EQ(parsed.exitCode, 0);
    size_t at = 0;
    while ((at = parsed.err.find("HTML parser error : ", at)) != std::string::npos) {
        at += 20;
        const std::string said = parsed.err.substr(at, parsed.err.find('\n', at) - at);
        EXPECT_TRUE(said == "Tag svg invalid" || said == "Tag rect invalid" || said == "Tag line invalid" ||
                    said == "Tag text invalid")
            << said;
    }
}

TEST_F(CrawlReportTest, jsonHoldsTheSameFigures)
{
    const CrawlReport r = report();
    const std::string json = reportJson(r);
    const std::string path = m_folder.write("report.json", json);
    const ProcessResult python = runProcess(
        {"/usr/bin/env", "python3", "-c",
         "import json,sys; d=json.load(open(sys.argv[1], encoding='utf-8')); "
         "print(d['from'], d['to'], d['crawler_hits'], d['urls_crawled'], d['not_200'], sum(d['hours']), "
         "[c['name'] for c in d['crawlers'] if c['ai']], d['top_urls'][0]['path'], len(d['days']))",
         path});
    if (python.exitCode == 127 || python.exitCode == -1)
        GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(python.exitCode, 0) << python.err;
    EXPECT_EQ(python.out, "2026-11-28 2026-12-01 " + std::to_string(r.crawlerHits) + " " + std::to_string(r.urlsCrawled) +
                              " " + std::to_string(r.not200) + " " + std::to_string(r.crawlerHits) +
                              " ['GPTBot'] " + r.topUrls.at(0).path + " 4\n");
}

TEST(CrawlReport, anEmptyLedgerGivesAReportThatSaysSo)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    {
        auto store = Ledger::open(ledger, LedgerOpenOptions{LedgerAccess::Write, 30000});
        ASSERT_TRUE(store.ok());
    }
    auto views = LedgerViews::open(ledger);
    ASSERT_TRUE(views.ok());
    const Result<CrawlReport> report = buildCrawlReport(*views.value(), {});
    ASSERT_TRUE(report.ok());
    EXPECT_NE(reportHtml(report.value()).find("抓取档案中还没有日志"), std::string::npos);
    EXPECT_NE(reportJson(report.value()).find("\"from\": null"), std::string::npos);
}

} // namespace
