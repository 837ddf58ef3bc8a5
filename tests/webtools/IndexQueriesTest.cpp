#include "webtools/IndexQueries.h"
#include "webtools/PageTools.h"

#include "platform/CodePage.h"
#include "support/LoopbackServer.h"
#include "webtools/WebRequests.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace quill;
using namespace std::chrono_literals;
using quill::test::LoopbackServer;

TEST(IndexQueries, siteTextDropsEveryHttpPrefixAndTrims)
{
    const std::pair<const char*, const char*> cases[] = {
        {"HTTP://example.test/", "example.test/"},
        {" \t http://a.test/x?y=1 \r\n", "a.test/x?y=1"},
        {"hTTp://hTtP://b.test", "b.test"},
        {"a.test/http://c", "a.test/c"},
        {"https://a.test:8080/", "https://a.test:8080/"}, // other schemes stay
        {"", ""},
    };
    for (const auto& [box, site] : cases)
        EXPECT_EQ(indexSiteText(box), site) << box;
}

TEST(IndexQueries, countIsCutVerbatimBetweenTheFirstMarkers)
{
    const std::vector<IndexQuery>& rows = indexQueries();
    ASSERT_EQ(rows.size(), 9u);
    const std::string google = gbk("<p>获得约 <b>12,300</b> 条结果</p>");
    struct Case {
        size_t row;
        std::string answer;
        std::string line;
    };
    const Case cases[] = {
        {0, gbk("找到相关网页约1,230篇，用时0.002秒"), gbk("百度 收录:约1,230个页面")},
        {3, gbk("找到相关网页<em>7</em>篇，用时"), gbk("百度 反向链接:<em>7</em>个页面")},
        // "约 <b>" lies inside "获得约 <b>", so every Google row finds the same count.
        {4, google, gbk("Google 收录:12,300个页面")},
        {5, google, gbk("Google 反向链接:12,300个页面")},
        {6, google, gbk("Google 1天内收录: 12,300 个页面")},
        {8, google, gbk("Google 一年内收录: 12,300 个页面")},
        // An end marker before the first start marker gives nothing, even with a later one.
        {0, gbk("篇，用时 找到相关网页5篇，用时"), gbk("百度 收录:个页面")},
        // The markers are GBK bytes; a UTF-8 answer never holds them.
        {4, "\xE7\xBA\xA6 <b>5</b> \xE6\x9D\xA1", gbk("Google 收录:个页面")},
        {1, "location=/x", gbk("百度 最近1天收录:个页面")},
        {7, "", gbk("Google 一周内收录:  个页面")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(indexLine(rows[c.row], c.answer), c.line) << c.row;
}

namespace {

// Two loopback engines that record the request targets they get.
struct Engines {
    LoopbackServer baidu, google;
    std::mutex mutex;
    std::vector<std::string> targets;
    std::vector<std::string> progress;
    Status end;

    Engines()
    {
        baidu->Get("/baidu", [this](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_content(gbk("找到相关网页约1,230篇，用时0.1秒"), "text/html");
        });
        google->Get("/search", [this](const httplib::Request& request, httplib::Response& response) {
            record(request);
            response.set_content(gbk("获得约 <b>9</b> 条结果"), "text/html");
        });
        baidu.start();
        google.start();
    }
    void record(const httplib::Request& request)
    {
        std::lock_guard lock(mutex);
        targets.push_back(request.target);
    }
    IndexRun run(const std::string& box, bool withBaidu, bool withGoogle)
    {
        return {box, withBaidu, withGoogle, "2026-12-01 10:00:00",
                "127.0.0.1:" + std::to_string(baidu.port()), "127.0.0.1:" + std::to_string(google.port())};
    }
    std::vector<std::string> lines(const IndexRun& run)
    {
        std::vector<std::string> out;
        progress.clear();
        end = runIndexQueries(run, [](const std::string& url) { return fetchPageReporting(url); },
                              [&](const std::string& line) { out.push_back(line); },
                              [&](int done, int total) { progress.push_back(indexProgress(done, total)); });
        return out;
    }
};

} // namespace

TEST(IndexQueries, runsTheCheckedEnginesInOrderOverHttp)
{
    Engines engines;
    const std::vector<std::string> all = engines.lines(engines.run(" HTTP://example.test/ ", true, true));
    const std::vector<std::string> expected = {
        std::string(71, '-'),
        gbk("查询时间：2026-12-01 10:00:00"),
        gbk("百度 收录:约1,230个页面"),
        gbk("百度 最近1天收录:约1,230个页面"),
        gbk("百度 最近7天收录:约1,230个页面"),
        gbk("百度 反向链接:约1,230个页面"),
        gbk("Google 收录:9个页面"),
        gbk("Google 反向链接:9个页面"),
        gbk("Google 1天内收录: 9 个页面"),
        gbk("Google 一周内收录: 9 个页面"),
        gbk("Google 一年内收录: 9 个页面"),
    };
    EXPECT_EQ(all, expected);
    const std::vector<std::string> targets = {
        "/baidu?tn=hao123&wd=site%3Aexample.test/",
        "/baidu?tn=hao123&lm=1&wd=site%3Aexample.test/",
        "/baidu?tn=hao123&lm=7&wd=site%3Aexample.test/",
        "/baidu?tn=hao123&wd=domain%3Aexample.test/",
        "/search?hl=zh-CN&q=site%3Aexample.test/",
        "/search?hl=zh-CN&newwindow=1&q=link%3Aexample.test/",
        "/search?q=site%3Aexample.test/&hl=zh-CN&tbo=s&newwindow=1&tbs=qdr:d",
        "/search?q=site%3Aexample.test/&hl=zh-CN&tbo=s&newwindow=1&tbs=qdr:w",
        "/search?q=site%3Aexample.test/&hl=zh-CN&tbo=s&newwindow=1&tbs=qdr:y",
    };
    EXPECT_EQ(engines.targets, targets);
    EXPECT_TRUE(engines.end.ok()) << engines.end.message();
    EXPECT_EQ(engines.progress.front(), gbk("批量查询 1/9 …"));
    EXPECT_EQ(engines.progress.back(), gbk("批量查询 9/9 …"));

    engines.targets.clear();
    EXPECT_EQ(engines.lines(engines.run("a.test", false, false)).size(), 2u);
    EXPECT_EQ(engines.lines(engines.run("a.test", false, true)).size(), 7u);
    EXPECT_EQ(engines.targets.size(), 5u);
}

TEST(IndexQueries, failedQueriesStillAppendTheirLine)
{
    IndexRun run{"", true, false, "t", "127.0.0.1:" + std::to_string(test::refusingPort()), ""};
    std::vector<std::string> lines;
    const Status end = runIndexQueries(run, [](const std::string& url) { return fetchPageReporting(url); },
                                       [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(toolStatus(gbk("批量查询"), end), gbk("批量查询: 4/4 个查询失败（连接失败）"));
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_EQ(lines[2], gbk("百度 收录:个页面"));
    EXPECT_EQ(lines[5], gbk("百度 反向链接:个页面"));
}
