#include "ledger/LedgerViews.h"

#include "LedgerTestSupport.h"
#include "ledger/LedgerAdd.h"
#include "ledger/LedgerTables.h"
#include "platform/CodePage.h"
#include "support/DnsTestServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace quill;
using namespace quill::test;

namespace {

// Three days of a small site: Baidu comes every day, Google on the first and last, a browser too.
std::vector<Visit> siteVisits()
{
    std::vector<Visit> visits;
    auto add = [&](const char* day, const char* time, const char* path, const char* agent, int status, int times) {
        for (int i = 0; i < times; ++i)
            visits.push_back(Visit{.day = day, .time = time, .path = path, .agent = agent, .status = status,
                                   .bytes = 1000, .timeTaken = 20});
    };
    add("2026-11-30", "03:10:00", "/", kBaiduAgent, 200, 4);
    add("2026-11-30", "03:20:00", "/news/a.htm", kBaiduAgent, 404, 1);
    add("2026-11-30", "14:00:00", "/news/a.htm", kGoogleAgent, 200, 2);
    add("2026-11-30", "14:00:00", "/news/a.htm", "Mozilla/5.0", 200, 9);
    add("2026-12-01", "03:00:00", "/news/2026/b.htm", kBaiduAgent, 301, 2);
    add("2026-12-01", "04:00:00", "/%E6%96%B0%E9%97%BB.htm", kBaiduAgent, 200, 1);
    add("2026-12-02", "23:59:59", "/", kGoogleAgent, 500, 3);
    add("2026-12-02", "23:00:00", "/", kBaiduAgent, 200, 1);
    return visits;
}

class LedgerViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const std::string ledger = m_folder.file("ledger.db");
        {
            auto store = Ledger::open(ledger);
            ASSERT_TRUE(store.ok()) << store.status().message();
            const std::atomic<bool> stop{false};
            ASSERT_TRUE(addLogs(*store.value(), {m_folder.write("ex.log", iis6Log(siteVisits()))}, {}, stop, {}).ok());
        }
        auto views = LedgerViews::open(ledger);
        ASSERT_TRUE(views.ok()) << views.status().message();
        m_views = std::move(views.value());
    }

    std::int64_t crawlerId(const char* name)
    {
        auto id = m_views->findCrawler(gbk(name));
        EXPECT_TRUE(id.ok() && id.value());
        return id.ok() && id.value() ? *id.value() : -1;
    }

    // The cells of `table` row by row, in UTF-8, joined by "|".
    static std::vector<std::string> cells(const LedgerTable& table)
    {
        std::vector<std::string> rows;
        for (size_t r = 0; r < table.rowCount(); ++r) {
            std::string row;
            for (size_t c = 0; c < table.columnCount(); ++c)
                row += (c ? "|" : "") + gbkToUtf8(table.cell(r, c));
            rows.push_back(row);
        }
        return rows;
    }
    static std::vector<std::string> captions(const LedgerTable& table)
    {
        std::vector<std::string> texts;
        for (size_t c = 0; c < table.columnCount(); ++c)
            texts.push_back(gbkToUtf8(table.caption(c)));
        return texts;
    }

    TempFolder m_folder;
    std::unique_ptr<LedgerViews> m_views;
};

TEST_F(LedgerViewsTest, daysCountEveryRequestAndEachCrawler)
{
    auto days = m_views->days({});
    ASSERT_TRUE(days.ok());
    const auto table = daysTable(days.value());
    EXPECT_EQ(captions(*table), (std::vector<std::string>{"日期", "全部请求", "蜘蛛请求", "伪装", "百度", "Google"}));
    EXPECT_EQ(cells(*table), (std::vector<std::string>{"2026-11-30|16|7|0|5|2", "2026-12-01|3|3|0|3|0",
                                                       "2026-12-02|4|4|0|1|3"}));

    auto span = m_views->span();
    ASSERT_TRUE(span.ok() && span.value());
    EXPECT_EQ(span.value()->from, 20261130);
    EXPECT_EQ(span.value()->to, 20261202);

    // Every view obeys the range and the crawler.
    auto google = m_views->days({DateRange{20261201, 0}, crawlerId("Googlebot")});
    ASSERT_TRUE(google.ok());
    EXPECT_EQ(cells(*daysTable(google.value())),
              (std::vector<std::string>{"2026-12-01|3|0|0|0", "2026-12-02|4|3|0|3"}));
}

TEST_F(LedgerViewsTest, urlsShowHitsPerCrawlerFirstAndLastCrawlAndStatusShares)
{
    auto urls = m_views->urls({});
    ASSERT_TRUE(urls.ok());
    auto table = urlTable(urls.value(), false);
    table->sortBy(0, false);
    EXPECT_EQ(captions(*table),
              (std::vector<std::string>{"URL", "百度", "Google", "合计", "首次抓取", "最近抓取", "未抓天数", "2xx", "3xx",
                                        "4xx", "5xx", "平均用时(ms)", "字节"}));
    EXPECT_EQ(cells(*table),
              (std::vector<std::string>{
                  "/|5|3|8|2026-11-30|2026-12-02|0|62.5%|0.0%|0.0%|37.5%|20|8000",
                  "/news/2026/b.htm|2|0|2|2026-12-01|2026-12-01|1|0.0%|100.0%|0.0%|0.0%|20|2000",
                  "/news/a.htm|1|2|3|2026-11-30|2026-11-30|2|66.7%|0.0%|33.3%|0.0%|20|3000",
                  "/新闻.htm|1|0|1|2026-12-01|2026-12-01|1|100.0%|0.0%|0.0%|0.0%|20|1000",
              }));
    table->sortBy(3, true);
    EXPECT_EQ(gbkToUtf8(table->cell(0, 0)), "/");
    table->narrow("NEWS");
    EXPECT_EQ(table->rowCount(), 2u);

    // The range ends on 2026-12-01: "/" was last crawled a day before its end.
    auto early = m_views->urls({DateRange{0, 20261201}, std::nullopt});
    ASSERT_TRUE(early.ok());
    auto earlyTable = urlTable(early.value(), false);
    earlyTable->sortBy(0, false);
    EXPECT_EQ(gbkToUtf8(earlyTable->cell(0, 0)) + "|" + earlyTable->cell(0, 6), "/|1");

    const auto dirs = urlTable(directoriesOf(urls.value()), true);
    std::vector<std::string> names;
    for (size_t r = 0; r < dirs->rowCount(); ++r)
        names.push_back(dirs->cell(r, 0) + "=" + dirs->cell(r, 3));
    EXPECT_EQ(names, (std::vector<std::string>{"/=9", "/news/=5", "/news/2026/=2"}));
}

TEST_F(LedgerViewsTest, statusAndHoursShowWasteAndPeakHours)
{
    auto statuses = m_views->statuses({});
    ASSERT_TRUE(statuses.ok());
    const auto rows = cells(*statusTable(statuses.value()));
    ASSERT_EQ(rows.size(), 7u); // per crawler: the range, then its days
    EXPECT_EQ(rows[0], "全部|百度|9|6|2|1|0|3|33.3%");
    EXPECT_EQ(rows[4], "全部|Google|5|2|0|0|3|3|60.0%");

    auto hours = m_views->hours({});
    ASSERT_TRUE(hours.ok());
    const auto table = hoursTable(hours.value());
    EXPECT_EQ(table->cell(3, 0) + "|" + table->cell(3, 1) + "|" + table->cell(3, 3), "03:00-03:59|7|7");
    EXPECT_EQ(table->cell(23, 2), "3");
}

TEST(LedgerUrlOrder, pathsStandInTheOrderOfTheTextsShown)
{
    // Paths that share their first 16 bytes or more, differ within them, end within them, and
    // show otherwise than logged.
    const std::vector<std::string> paths = {
        "/b", "/a", "/aaaaaaaaaaaaaaaaaaaa/2", "/aaaaaaaaaaaaaaaaaaaa/1", "/aaaaaaaaaaaaaaa", "/aaaaaaaaaaaaaaa/",
        "/aaaaaaaaaaaaaab", "/aaaaaaaaaaaaaa", "/%41", "/A", "/~", "/%E6%96%B0", "/\xE6\x96\xB0x", "/a%2Fb", "/a/b",
        "/ZA", "/AZ", "/0123456ZA", "/0123456AZ",
    };
    std::vector<Visit> visits;
    for (const std::string& path : paths)
        visits.push_back(Visit{.path = path, .agent = kBaiduAgent});
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    {
        auto store = Ledger::open(ledger);
        ASSERT_TRUE(store.ok()) << store.status().message();
        const std::atomic<bool> stop{false};
        ASSERT_TRUE(addLogs(*store.value(), {folder.write("ex.log", iis6Log(visits))}, {}, stop, {}).ok());
    }
    auto views = LedgerViews::open(ledger);
    ASSERT_TRUE(views.ok()) << views.status().message();
    const Result<UrlView> urls = views.value()->urls({});
    ASSERT_TRUE(urls.ok()) << urls.status().message();
    std::vector<std::string> shown, expected;
    for (const UrlRow& row : urls.value().rows)
        shown.push_back(displayPath(row.path));
    for (const std::string& path : paths)
        expected.push_back(displayPath(path));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown, expected);
}

TEST(LedgerFakes, aFakeIsKeptAsAFakeAndNeverAsTheCrawlerItClaimed)
{
    DnsTestServer dns;
    dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com"});
    dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
    dns.addPtr("6.6.6.6", {"pretender.example.net"});
    std::vector<Visit> visits;
    for (int i = 0; i < 3; ++i)
        visits.push_back(Visit{.path = "/real.htm", .address = "123.125.71.12", .agent = kBaiduAgent});
    for (int i = 0; i < 5; ++i)
        visits.push_back(Visit{.path = i < 4 ? "/wp-login.php" : "/", .address = "6.6.6.6", .agent = kBaiduAgent});
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    AddOptions options;
    options.verify = true;
    options.verifier.dns.server = dns.address();
    options.verifier.dns.timeoutMs = 500;
    {
        auto store = Ledger::open(ledger);
        ASSERT_TRUE(store.ok());
        const std::atomic<bool> stop{false};
        ASSERT_TRUE(addLogs(*store.value(), {folder.write("ex.log", iis6Log(visits))}, options, stop, {}).ok());
    }
    EXPECT_EQ(ledgerRows(ledger, "SELECT verdict, sum(hits) FROM crawl GROUP BY verdict"),
              (std::vector<std::string>{"1|3", "2|5"}));
    EXPECT_EQ(ledgerRows(ledger, "SELECT requests, crawler_requests, fake_requests FROM day_total"),
              std::vector<std::string>{"8|3|5"});
    auto views = LedgerViews::open(ledger);
    ASSERT_TRUE(views.ok());
    auto days = views.value()->days({});
    ASSERT_TRUE(days.ok());
    EXPECT_EQ(days.value().rows.at(0).hits, std::vector<std::int64_t>{3});
    auto fakes = views.value()->fakes({});
    ASSERT_TRUE(fakes.ok());
    const auto table = fakesTable(fakes.value());
    ASSERT_EQ(table->rowCount(), 1u);
    EXPECT_EQ(gbkToUtf8(table->cell(0, 0) + "|" + table->cell(0, 1) + "|" + table->cell(0, 2) + "|" + table->cell(0, 5)),
              "6.6.6.6|百度|5|/wp-login.php (4) / (1)");
}

} // namespace
