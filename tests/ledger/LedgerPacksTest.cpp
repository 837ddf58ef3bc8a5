#include "ledger/LedgerPacks.h"

#include "LedgerTestSupport.h"
#include "ledger/LedgerAdd.h"
#include "ledger/LedgerViews.h"
#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using namespace quill;
using namespace quill::test;

namespace {

// Visits on days around the edges of thirds and months (Oct 31/Nov 1, Nov 10/11, Nov 20/21,
// Nov 30/Dec 1), by three crawlers and a browser, over a dozen paths and four statuses.
std::vector<Visit> visitsOn(const std::vector<std::string>& days, int seed)
{
    const char* agents[] = {kBaiduAgent, kGoogleAgent, kSogouAgent, "Mozilla/5.0+(X11)"};
    const int statuses[] = {200, 301, 404, 500, 200};
    std::vector<Visit> visits;
    unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
    auto next = [&](unsigned bound) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % bound;
    };
    for (const std::string& day : days) {
        for (int i = 0; i < 25; ++i) {
            Visit v;
            v.day = day;
            v.path = "/s" + std::to_string(next(3)) + "/p" + std::to_string(next(12)) + ".htm";
            v.agent = agents[next(4)];
            v.status = statuses[next(5)];
            v.bytes = 100 + next(5000);
            v.timeTaken = next(300);
            visits.push_back(v);
        }
    }
    return visits;
}

const std::vector<std::string> kFirstDays = {"2026-10-28", "2026-10-31", "2026-11-01", "2026-11-05", "2026-11-10",
                                             "2026-11-11", "2026-11-15"};
const std::vector<std::string> kSecondDays = {"2026-11-10", "2026-11-20", "2026-11-21", "2026-11-30", "2026-12-01",
                                              "2026-12-03"};

void add(const std::string& ledger, const std::vector<std::string>& files)
{
    auto store = Ledger::open(ledger);
    ASSERT_TRUE(store.ok()) << store.status().message();
    const std::atomic<bool> stop{false};
    ASSERT_TRUE(addLogs(*store.value(), files, {}, stop, {}).ok());
}

// The URL view of `filter`, one row per path: its sums, first and last day, hits per crawler.
std::vector<std::string> viewRows(const std::string& ledger, const ViewFilter& filter)
{
    auto views = LedgerViews::open(ledger);
    EXPECT_TRUE(views.ok()) << views.status().message();
    if (!views.ok())
        return {};
    auto urls = views.value()->urls(filter);
    EXPECT_TRUE(urls.ok()) << urls.status().message();
    if (!urls.ok())
        return {};
    const UrlView& view = urls.value();
    std::vector<std::string> rows;
    for (size_t r = 0; r < view.rows.size(); ++r) {
        const UrlRow& u = view.rows[r];
        std::string row = u.path + "|" + std::to_string(u.hits);
        for (std::int64_t hits : u.classHits)
            row += "|" + std::to_string(hits);
        row += "|" + std::to_string(u.bytes) + "|" + std::to_string(u.timeTaken) + "|" + std::to_string(u.firstDay) +
               "|" + std::to_string(u.lastDay);
        std::vector<std::string> crawlers;
        for (size_t c = 0; c < view.crawlers.size(); ++c)
            if (const std::int64_t hits = view.crawlerHits[r * view.crawlers.size() + c]; hits > 0)
                crawlers.push_back(gbkToUtf8(view.crawlers[c].name) + "=" + std::to_string(hits));
        std::sort(crawlers.begin(), crawlers.end());
        for (const std::string& hits : crawlers)
            row += "|" + hits;
        rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    return rows;
}

// The same, summed with plain SQL over `crawl`.
std::vector<std::string> plainRows(const std::string& ledger, const ViewFilter& filter)
{
    const std::string from = std::to_string(filter.range.from);
    const std::string to = std::to_string(filter.range.to == 0 ? 99999999 : filter.range.to);
    const std::string crawler = filter.crawler ? " AND c.crawler_id = " + std::to_string(*filter.crawler) : "";
    const std::string days = " AND c.day BETWEEN " + from + " AND " + to;
    std::vector<std::string> rows = ledgerRows(
        ledger, "SELECT p.path, sum(hits), sum(CASE WHEN status BETWEEN 200 AND 299 THEN hits ELSE 0 END), "
                "sum(CASE WHEN status BETWEEN 300 AND 399 THEN hits ELSE 0 END), "
                "sum(CASE WHEN status BETWEEN 400 AND 499 THEN hits ELSE 0 END), "
                "sum(CASE WHEN status BETWEEN 500 AND 599 THEN hits ELSE 0 END), sum(bytes), sum(time_taken), "
                "min(day), max(day), (SELECT group_concat(name || '=' || n, '|') FROM (SELECT r.name AS name, "
                "sum(c.hits) AS n FROM crawl c JOIN crawler r ON r.id = c.crawler_id WHERE c.path_id = p.id AND "
                "c.verdict <> 2" + days + crawler + " GROUP BY r.name ORDER BY r.name)) "
                "FROM crawl c JOIN url_path p ON p.id = c.path_id WHERE c.verdict <> 2" + days + crawler +
                " GROUP BY p.id");
    for (std::string& row : rows)
        if (row.ends_with("|"))
            row.pop_back();
    std::sort(rows.begin(), rows.end());
    return rows;
}

struct RangeCase {
    const char* what;
    DateRange range;
};

const RangeCase kRanges[] = {
    {"every day", {0, 0}},
    {"inside a third", {20261112, 20261118}},
    {"a whole third", {20261111, 20261120}},
    {"a whole month", {20261101, 20261130}},
    {"across a month's end", {20261030, 20261102}},
    {"from a month's first day on", {20261101, 0}},
    {"up to a month's last day", {0, 20261130}},
    {"from inside a third to past the next month's start", {20261105, 20261201}},
    {"one day at a month's start", {20261201, 20261201}},
    {"days without crawls", {20260101, 20260131}},
};

// The rows of a directory view as text.
std::vector<std::string> directoryRows(const UrlView& dirs)
{
    std::vector<std::string> rows;
    for (size_t r = 0; r < dirs.rows.size(); ++r) {
        const UrlRow& d = dirs.rows[r];
        std::string row = d.path + "|" + std::to_string(d.hits) + "|" + std::to_string(d.classHits[2]) + "|" +
                          std::to_string(d.bytes) + "|" + std::to_string(d.firstDay) + "|" + std::to_string(d.lastDay);
        for (size_t c = 0; c < dirs.crawlers.size(); ++c)
            row += "|" + std::to_string(dirs.crawlerHits[r * dirs.crawlers.size() + c]);
        rows.push_back(row + "|" + std::to_string(dirs.rangeEnd));
    }
    return rows;
}

// Every range's URL view (all crawlers, and one crawler) against the plain sums of `crawl`, and
// the directories summed from the URL view against those summed on their own.
void expectViewsEqualPlainSums(const std::string& ledger, const char* when)
{
    auto views = LedgerViews::open(ledger);
    ASSERT_TRUE(views.ok());
    auto google = views.value()->findCrawler("Googlebot");
    ASSERT_TRUE(google.ok() && google.value());
    for (const RangeCase& c : kRanges) {
        for (const std::optional<std::int64_t> crawler : {std::optional<std::int64_t>(), google.value()}) {
            const ViewFilter filter{c.range, crawler};
            EXPECT_EQ(viewRows(ledger, filter), plainRows(ledger, filter))
                << c.what << (crawler ? ", Google only, " : ", ") << when;
            auto urls = views.value()->urls(filter);
            auto dirs = views.value()->directories(filter);
            ASSERT_TRUE(urls.ok() && dirs.ok());
            EXPECT_EQ(directoryRows(dirs.value()), directoryRows(directoriesOf(urls.value())))
                << c.what << (crawler ? ", Google only, " : ", ") << when;
        }
    }
}

class LedgerPacksTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_ledger = m_folder.file("ledger.db");
        m_first = m_folder.write("ex1.log", iis6Log(visitsOn(kFirstDays, 1)));
        m_second = m_folder.write("ex2.log", iis6Log(visitsOn(kSecondDays, 2)));
        add(m_ledger, {m_first});
        add(m_ledger, {m_second}); // its first day is also in the first file
    }

    TempFolder m_folder;
    std::string m_ledger, m_first, m_second;
};

TEST_F(LedgerPacksTest, theViewsFromPreSummedSpansEqualThePlainSumsOfCrawl)
{
    ASSERT_FALSE(plainRows(m_ledger, {}).empty());
    expectViewsEqualPlainSums(m_ledger, "after two adds");

    // Lines appended to the second log, on days it already holds and on a new one.
    std::ofstream(m_second, std::ios::app) << iis6Log(visitsOn({"2026-11-20", "2026-12-01", "2026-12-04"}, 3))
                                                  .substr(std::string(kIis6Header).size());
    add(m_ledger, {m_second});
    expectViewsEqualPlainSums(m_ledger, "after a grow-add");
    EXPECT_EQ(ledgerRows(m_ledger, "SELECT max(day) FROM crawl"), std::vector<std::string>{"20261204"});
}

TEST_F(LedgerPacksTest, aLedgerOfTheFirstVersionIsReadByDaysAndBroughtUpToDateByTheNextAdd)
{
    // The first version had no span packs.
    {
        auto db = SqliteDatabase::open(m_ledger, OpenMode::ReadWrite, 1000);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->exec("DROP TABLE url_span_pack; PRAGMA user_version = 1").ok());
    }
    expectViewsEqualPlainSums(m_ledger, "read as the first version");

    add(m_ledger, {m_folder.write("ex3.log", iis6Log(visitsOn({"2026-11-25"}, 4)))});
    EXPECT_EQ(ledgerRows(m_ledger, "PRAGMA user_version"), std::vector<std::string>{"2"});
    EXPECT_EQ(ledgerRows(m_ledger, "SELECT span, first_day, last_day FROM url_span_pack ORDER BY span"),
              (std::vector<std::string>{"0|0|99991231", "2026100|20261001|20261031", "2026103|20261021|20261031",
                                        "2026110|20261101|20261130", "2026111|20261101|20261110",
                                        "2026112|20261111|20261120", "2026113|20261121|20261130",
                                        "2026120|20261201|20261231", "2026121|20261201|20261210"}));
    expectViewsEqualPlainSums(m_ledger, "after the step to the second version");
}

TEST_F(LedgerPacksTest, aDamagedSpanPackIsSummedAgainByTheNextAddAndNeverShownWrong)
{
    {
        auto db = SqliteDatabase::open(m_ledger, OpenMode::ReadWrite, 1000);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->exec("UPDATE url_span_pack SET pack = x'01FF' WHERE span IN (0, 2026110)").ok());
    }
    auto views = LedgerViews::open(m_ledger);
    ASSERT_TRUE(views.ok());
    auto damaged = views.value()->urls({});
    ASSERT_FALSE(damaged.ok());
    EXPECT_NE(gbkToUtf8(damaged.status().message()).find("已损坏"), std::string::npos);

    add(m_ledger, {m_folder.write("ex3.log", iis6Log(visitsOn({"2026-11-25"}, 4)))});
    expectViewsEqualPlainSums(m_ledger, "after the add that mended them");
}

// A pack's numbers as written and read back, and sums merged into it.
TEST(PathPack, keepsEveryNumberAndMergesSumsByPathAndCrawler)
{
    std::vector<PathSpanRow> rows(2);
    rows[0] = {.path = 3, .hits = 5, .classHits = {4, 0, 1, 0}, .bytes = 1 << 20, .timeTaken = 77,
               .firstDay = 20261130, .lastDay = 20261201, .crawlers = {{1, 2}, {9, 3}}};
    rows[1] = {.path = 300000, .hits = 1, .classHits = {0, 0, 0, 1}, .bytes = 0, .timeTaken = 0,
               .firstDay = 10000101, .lastDay = 10000101, .crawlers = {{2, 1}}};
    const std::string pack = encodePathPack(rows);
    std::vector<std::string> read;
    auto text = [](const PathSpanRow& r) {
        std::string t = std::to_string(r.path) + ":" + std::to_string(r.hits) + ":" + std::to_string(r.classHits[0]) +
                        std::to_string(r.classHits[2]) + std::to_string(r.classHits[3]) + ":" +
                        std::to_string(r.bytes) + ":" + std::to_string(r.timeTaken) + ":" +
                        std::to_string(r.firstDay) + "-" + std::to_string(r.lastDay);
        for (const CrawlerHits& c : r.crawlers)
            t += " " + std::to_string(c.crawler) + "=" + std::to_string(c.hits);
        return t;
    };
    EXPECT_TRUE(decodePathPack(pack, [&](const PathSpanRow& r) { read.push_back(text(r)); }));
    EXPECT_EQ(read, (std::vector<std::string>{"3:5:410:1048576:77:20261130-20261201 1=2 9=3",
                                              "300000:1:001:0:0:10000101-10000101 2=1"}));

    std::vector<PathSpanRow> delta(2);
    delta[0] = {.path = 1, .hits = 1, .classHits = {1, 0, 0, 0}, .firstDay = 20261101, .lastDay = 20261101,
                .crawlers = {{4, 1}}};
    delta[1] = {.path = 3, .hits = 2, .classHits = {0, 2, 0, 0}, .bytes = 10, .timeTaken = 3, .firstDay = 20261129,
                .lastDay = 20261129, .crawlers = {{2, 1}, {9, 1}}};
    const auto merged = mergedPathRows(pack, delta);
    ASSERT_TRUE(merged);
    read.clear();
    for (const PathSpanRow& r : *merged)
        read.push_back(text(r));
    EXPECT_EQ(read, (std::vector<std::string>{"1:1:100:0:0:20261101-20261101 4=1",
                                              "3:7:410:1048586:80:20261129-20261201 1=2 2=1 9=4",
                                              "300000:1:001:0:0:10000101-10000101 2=1"}));

    // Every cut short pack is refused or read as far as it goes; none is read past its end.
    for (size_t size = 1; size < pack.size(); ++size)
        (void)decodePathPack(std::string_view(pack).substr(0, size), [](const PathSpanRow&) {});
    EXPECT_FALSE(mergedPathRows(pack.substr(0, pack.size() - 1), delta));
}

} // namespace
