#include "ledger/LedgerAdd.h"

#include "LedgerTestSupport.h"
#include "crawlers/CountCrawlerVisits.h"
#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

std::vector<AddedFile> addPaths(const std::string& ledgerPath, const std::vector<std::string>& paths,
                                const AddOptions& options = {})
{
    std::vector<AddedFile> added;
    auto ledger = Ledger::open(ledgerPath);
    EXPECT_TRUE(ledger.ok()) << ledger.status().message();
    if (!ledger.ok())
        return added;
    const std::atomic<bool> stop{false};
    const Status outcome =
        addLogs(*ledger.value(), paths, options, stop, [&](const AddedFile& file) { added.push_back(file); });
    EXPECT_TRUE(outcome.ok()) << outcome.message();
    return added;
}

std::int64_t totalHits(const std::string& ledgerPath)
{
    const auto rows = ledgerRows(ledgerPath, "SELECT coalesce(sum(hits), 0) FROM crawl");
    return rows.empty() ? -1 : std::stoll(rows[0]);
}

// The crawler names this test expects, written out here rather than asked of the program.
std::string expectedCrawler(const std::string& agent)
{
    if (agent.find("Baiduspider") != std::string::npos)
        return "百度";
    if (agent.find("Googlebot") != std::string::npos)
        return "Google";
    if (agent.find("Sogou") != std::string::npos)
        return "SogouBot";
    if (agent.find("msnbot") != std::string::npos)
        return "MSN";
    return "";
}

std::vector<Visit> mixedVisits()
{
    std::vector<Visit> visits;
    const char* agents[] = {kBaiduAgent, kGoogleAgent, kSogouAgent, kMsnAgent, "Mozilla/5.0+(X11)", "-"};
    const char* paths[] = {"/", "/news/a.htm", "/news/2026/b.htm", "/img/logo.gif", "/%E4%B8%AD.htm"};
    const int statuses[] = {200, 200, 304, 404, 500, 301};
    for (int i = 0; i < 240; ++i) {
        Visit v;
        v.day = i < 100 ? "2026-11-30" : i < 200 ? "2026-12-01" : "2026-12-02";
        v.time = (i % 24 < 10 ? "0" : "") + std::to_string(i % 24) + ":15:00";
        v.path = paths[i % 5];
        v.query = i % 7 == 0 ? "id=" + std::to_string(i) : "-";
        v.agent = agents[i % 6];
        v.status = statuses[(i / 3) % 6];
        v.bytes = 100 + i;
        v.timeTaken = i % 13;
        v.address = "10.0.0." + std::to_string(i % 5);
        visits.push_back(v);
    }
    return visits;
}

TEST(LedgerAdd, sumsMatchAnIndependentCountOfTheVisits)
{
    TempFolder folder;
    const std::vector<Visit> visits = mixedVisits();
    // The second half of the file is written after a restart with another field order.
    std::string text = kIis6Header;
    for (size_t i = 0; i < visits.size(); ++i) {
        if (i == visits.size() / 2)
            text += kIis7Header;
        text += i < visits.size() / 2 ? iis6Line(visits[i]) : iis7Line(visits[i]);
    }
    text += "#Remark: Baiduspider came by\r\n"           // a header line is no visit
            "2026-12-01 10:00:00 short line Baiduspider\r\n"; // nor a line of fewer than 11 fields
    const std::string ledger = folder.file("ledger.db");
    const auto added = addPaths(ledger, {folder.write("ex.log", text)});
    ASSERT_EQ(added.size(), 1u);
    EXPECT_EQ(added[0].outcome, AddOutcome::Added);
    EXPECT_EQ(added[0].lines, visits.size());

    std::map<std::tuple<std::string, std::string, std::string, int, int>, std::tuple<long, long, long>> crawls;
    std::map<std::string, std::pair<int, int>> days;
    std::map<std::tuple<std::string, int, std::string>, int> hours;
    for (const Visit& v : visits) {
        const std::string day = v.day.substr(0, 4) + v.day.substr(5, 2) + v.day.substr(8, 2);
        ++days[day].first;
        const std::string crawler = expectedCrawler(v.agent);
        if (crawler.empty())
            continue;
        ++days[day].second;
        auto& [hits, bytes, time] = crawls[{day, crawler, v.path, v.query != "-", v.status}];
        ++hits;
        bytes += v.bytes;
        time += v.timeTaken;
        ++hours[{day, std::stoi(v.time.substr(0, 2)), crawler}];
    }
    std::vector<std::string> expected;
    for (const auto& [key, sums] : crawls) {
        const auto& [day, crawler, path, hasQuery, status] = key;
        expected.push_back(day + "|" + crawler + "|" + path + "|" + std::to_string(hasQuery) + "|" +
                           std::to_string(status) + "|" + std::to_string(std::get<0>(sums)) + "|" +
                           std::to_string(std::get<1>(sums)) + "|" + std::to_string(std::get<2>(sums)));
    }
    EXPECT_EQ(ledgerRows(ledger, "SELECT day, c.name, p.path, has_query, status, hits, bytes, time_taken FROM crawl "
                                 "JOIN crawler c ON c.id = crawler_id JOIN url_path p ON p.id = path_id "
                                 "WHERE verdict = 0 ORDER BY day, c.name, p.path, has_query, status"),
              expected);

    std::vector<std::string> expectedDays;
    for (const auto& [day, counts] : days)
        expectedDays.push_back(day + "|" + std::to_string(counts.first) + "|" + std::to_string(counts.second) + "|0");
    EXPECT_EQ(ledgerRows(ledger, "SELECT * FROM day_total ORDER BY day"), expectedDays);

    std::vector<std::string> expectedHours;
    for (const auto& [key, hits] : hours)
        expectedHours.push_back(std::get<0>(key) + "|" + std::to_string(std::get<1>(key)) + "|" + std::get<2>(key) +
                                "|" + std::to_string(hits));
    EXPECT_EQ(ledgerRows(ledger, "SELECT day, hour, c.name, hits FROM crawl_hour JOIN crawler c ON c.id = crawler_id "
                                 "ORDER BY day, hour, c.name"),
              expectedHours);
    // Every crawl row's status is summed into its day's status row.
    EXPECT_EQ(ledgerRows(ledger, "SELECT sum(hits) FROM crawl_status"), ledgerRows(ledger, "SELECT sum(hits) FROM crawl"));
}

TEST(LedgerAdd, crawlerTotalsEqualTheStatisticsOfEachFile)
{
    TempFolder folder;
    const char* agents[] = {kBaiduAgent, kGoogleAgent, kSogouAgent, kMsnAgent, "Mozilla/5.0+(compatible;+Yahoo!+Slurp)",
                            "Sosospider+(+http://help.soso.com/webspider.htm)", "YoudaoBot/1.0", "Opera/9.80"};
    for (int file = 0; file < 3; ++file) {
        std::vector<Visit> visits;
        for (int i = 0; i < 50 + 17 * file; ++i) {
            Visit v;
            v.day = "2026-12-0" + std::to_string(file + 1);
            v.agent = agents[(i * (file + 3)) % 8];
            visits.push_back(v);
        }
        folder.write("ex26120" + std::to_string(file + 1) + ".log", iis6Log(visits));
    }
    const std::string ledger = folder.file("ledger.db");
    ASSERT_EQ(addPaths(ledger, {folder.path()}).size(), 3u);

    const std::atomic<bool> abandon{false};
    for (int file = 0; file < 3; ++file) {
        const std::string name = "ex26120" + std::to_string(file + 1) + ".log";
        const auto stats = countCrawlerVisits(folder.file(name), abandon);
        ASSERT_TRUE(stats && stats->counts);
        std::map<std::string, long> expected;
        const std::string columns[] = {"百度", "Google", "soso", "有道", "雅虎", "SogouBot", "MSN"};
        for (int column = 0; column < 7; ++column)
            if ((*stats->counts)[static_cast<size_t>(column)] > 0)
                expected[columns[column]] = (*stats->counts)[static_cast<size_t>(column)];
        std::map<std::string, long> counted;
        for (const std::string& row :
             ledgerRows(ledger, "SELECT c.name, sum(hits) FROM crawl_status JOIN crawler c ON c.id = crawler_id "
                                "WHERE day = 2026120" + std::to_string(file + 1) + " GROUP BY c.name")) {
            const size_t bar = row.find('|');
            counted[row.substr(0, bar)] = std::stol(row.substr(bar + 1));
        }
        EXPECT_EQ(counted, expected) << name;
    }
}

// What a user does to a log between two adds, and what the second add must find.
TEST(LedgerAdd, addsEveryLineExactlyOnceWhateverHappensToTheFile)
{
    // Longer than the fingerprint's head, so a cut keeps the head.
    const std::vector<Visit> first(400, Visit{.agent = kBaiduAgent});
    const std::vector<Visit> later(3, Visit{.path = "/later.htm", .agent = kBaiduAgent});
    const std::string log = iis6Log(first);
    std::string grown = log;
    for (const Visit& v : later)
        grown += iis6Line(v);
    const std::string unfinished = iis6Line(later[0]).substr(0, 30); // the web server is writing it

    struct Case {
        const char* what;
        std::function<std::string(TempFolder&, const std::string& path)> change; // returns the path added second
        AddOutcome outcome;
        std::int64_t total;
    };
    const Case cases[] = {
        {"the same file again", [](TempFolder&, const std::string& path) { return path; }, AddOutcome::Known, 400},
        {"lines appended",
         [&](TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, grown);
             return path;
         },
         AddOutcome::Grew, 403},
        {"a line still being written",
         [&](TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, log + unfinished);
             return path;
         },
         AddOutcome::Known, 400},
        {"rewritten from its head",
         [&](TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, "#Remark: rotated\r\n" + log);
             return path;
         },
         AddOutcome::Added, 800},
        {"cut short", [&](TempFolder&, const std::string& path) {
             TempFolder::writeFile(path, log.substr(0, log.size() - 200));
             return path;
         },
         AddOutcome::Shrunk, 400},
        {"compressed after it was read",
         [&](TempFolder& folder, const std::string&) { return folder.write("ex.log.gz", gzipBytes(log)); },
         AddOutcome::Known, 400},
        {"compressed after it grew",
         [&](TempFolder& folder, const std::string&) { return folder.write("ex.log.gz", gzipBytes(grown)); },
         AddOutcome::Grew, 403},
        {"copied under another name", [&](TempFolder& folder, const std::string&) { return folder.write("copy.log", log); },
         AddOutcome::Known, 400},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempFolder folder;
        const std::string ledger = folder.file("ledger.db");
        const std::string path = folder.write("ex.log", log);
        ASSERT_EQ(addPaths(ledger, {path})[0].outcome, AddOutcome::Added);
        const auto second = addPaths(ledger, {c.change(folder, path)});
        ASSERT_EQ(second.size(), 1u);
        EXPECT_EQ(second[0].outcome, c.outcome) << second[0].error;
        EXPECT_EQ(totalHits(ledger), c.total);
    }
}

TEST(LedgerAdd, aGrownFileIsReadOnWithTheFieldsOfItsLastHeader)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    const Visit baidu{.path = "/one.htm", .agent = kBaiduAgent, .status = 404};
    const std::string start = std::string(kIis6Header) + iis6Line(baidu) + kIis7Header + iis7Line(baidu);
    const std::string path = folder.write("ex.log", start);
    addPaths(ledger, {path});
    TempFolder::writeFile(path, start + iis7Line(baidu) + iis7Line(baidu));
    EXPECT_EQ(addPaths(ledger, {path})[0].lines, 2u);
    EXPECT_EQ(ledgerRows(ledger, "SELECT p.path, status, hits FROM crawl JOIN url_path p ON p.id = path_id"),
              std::vector<std::string>{"/one.htm|404|4"});
    // A small file that grew past the fingerprint's length is still the same file.
    std::string big = start;
    while (big.size() < 2 * kHeadBytes)
        big += iis7Line(baidu);
    TempFolder::writeFile(path, big);
    const auto added = addPaths(ledger, {path});
    EXPECT_EQ(added[0].outcome, AddOutcome::Grew);
    EXPECT_EQ(totalHits(ledger), static_cast<std::int64_t>(4 + added[0].lines));
}

TEST(LedgerAdd, crawlersTheTableDoesNotDescribeAreNamedByTheRegistry)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    const char* agents[] = {
        "Mozilla/5.0+(compatible;+bingbot/2.0;++http://www.bing.com/bingbot.htm)",
        "Mozilla/5.0+AppleWebKit/537.36+(KHTML,+like+Gecko;+compatible;+GPTBot/1.1;++https://openai.com/gptbot)",
        "Mozilla/5.0+(compatible;+notGPTBot/1.0)", // no word start: no crawler
        kBaiduAgent,                                // the table's own name, not the registry's
    };
    std::vector<Visit> visits;
    for (const char* agent : agents)
        visits.push_back(Visit{.agent = agent});
    addPaths(ledger, {folder.write("ex.log", iis6Log(visits))});
    EXPECT_EQ(ledgerRows(ledger, "SELECT name, crawler_group FROM crawler ORDER BY name"),
              (std::vector<std::string>{"GPTBot|AI 训练", "必应|搜索引擎", "百度|搜索引擎"}));
    EXPECT_EQ(ledgerRows(ledger, "SELECT requests, crawler_requests FROM day_total"), std::vector<std::string>{"4|3"});
}

TEST(LedgerAdd, unreadableFilesAreReportedAndTheRestAdded)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    const std::string good = folder.write("b.log", iis6Log({Visit{.agent = kGoogleAgent}}));
    const auto added = addPaths(ledger, {folder.file("missing.log"), folder.write("damaged.log.gz", "not gzip"),
                                         folder.path() + "/", good});
    ASSERT_GE(added.size(), 3u);
    EXPECT_EQ(added[0].outcome, AddOutcome::Failed);
    EXPECT_EQ(added[1].outcome, AddOutcome::Failed);
    EXPECT_FALSE(added[1].error.empty());
    EXPECT_EQ(added.back().outcome, AddOutcome::Known); // b.log came with the folder already
    EXPECT_EQ(totalHits(ledger), 1);
}

// A pipe's lines cannot be found again, so no offset in it could keep a later add from counting
// them twice; a device is no log at all. Both are refused and nothing is added.
TEST(LedgerAdd, pipesAndDevicesAreRefusedWithAMessage)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    const std::string pipe = folder.file("ex.log");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    std::jthread writer([&] {
        const int fd = ::open(pipe.c_str(), O_WRONLY);
        if (fd < 0)
            return;
        const std::string log = iis6Log({Visit{.agent = kBaiduAgent}});
        (void)!::write(fd, log.data(), log.size());
        ::close(fd);
    });
    const auto added = addPaths(ledger, {pipe, "/dev/null"});
    ASSERT_EQ(added.size(), 2u);
    EXPECT_EQ(added[0].outcome, AddOutcome::Failed);
    EXPECT_NE(added[0].error.find("A pipe cannot be added to the ledger"), std::string::npos) << added[0].error;
    EXPECT_EQ(added[1].outcome, AddOutcome::Failed);
    EXPECT_EQ(added[1].error, "Not a regular file or a pipe");
    EXPECT_EQ(totalHits(ledger), 0);
}

} // namespace
