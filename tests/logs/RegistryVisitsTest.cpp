#include "logs/RegistryVisits.h"

#include "crawlers/RegistryStatistics.h"
#include "platform/CodePage.h"
#include "platform/QueueDispatcher.h"
#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::TempFolder;

namespace {

std::string line(const char* address, const char* userAgent, const char* referrer = "-")
{
    return test::iisLine({.stem = "/a.html", .client = address, .agent = userAgent, .bytesSent = "100",
                          .bytesReceived = "200", .referrer = referrer});
}

std::int64_t visits(const RegistryFileStats& stats, const char* crawler)
{
    return (*stats.counts)[crawlerByName(crawler)];
}

RegistryFileStats row(const char* name, std::vector<std::pair<const char*, std::int64_t>> visits)
{
    RegistryFileStats stats{name, "1.0K", std::vector<std::int64_t>(crawlerRegistry().size() + 1, 0), Status()};
    for (const auto& [crawler, count] : visits)
        (*stats.counts)[crawlerByName(crawler)] = count;
    return stats;
}

TEST(RegistryVisits, countsUserAgentsFoundThroughTheFieldsLines)
{
    TempFolder folder;
    const std::string text =
        line("1.1.1.1", "Mozilla/5.0+(compatible;+GPTBot/1.3)") + "#Software: x\r\n" + // before any #Fields: unknown
        test::kIis6Header + line("1.1.1.1", "Mozilla/5.0+(compatible;+GPTBot/1.3)") +
        line("1.1.1.2", "Mozilla/5.0+(compatible;+Googlebot/2.1)") +
        line("1.1.1.3", "Mozilla/5.0+(Windows+NT+10.0)", "https://example.com/?q=Googlebot") + // referrer only
        line("1.1.1.4", "notGPTBot") +
        line("1.1.1.5", "Mozilla/5.0+(compatible;+ClaudeBot/1.0)") +
        // a second header block moves the user agent to the first field
        "#Fields: cs(User-Agent) c-ip\r\nCCBot/2.0 1.1.1.6\nGPTBot 1.1.1.7";
    const std::atomic<bool> never{false};
    const auto stats = countRegistryVisits(folder.write("ex261201.log", text), never);
    ASSERT_TRUE(stats && stats->counts);
    EXPECT_EQ(stats->fileName, "ex261201.log");
    EXPECT_EQ(visits(*stats, "GPTBot"), 2);
    EXPECT_EQ(visits(*stats, "Googlebot"), 1);
    EXPECT_EQ(visits(*stats, "ClaudeBot"), 1);
    EXPECT_EQ(visits(*stats, "CCBot"), 1);
    std::int64_t all = 0;
    for (std::int64_t count : *stats->counts)
        all += count;
    EXPECT_EQ(all, 5);
}

TEST(RegistryVisits, unreadableFileGivesARowWithoutCounts)
{
    TempFolder folder;
    const std::atomic<bool> never{false};
    const auto missing = countRegistryVisits(folder.file("gone.log"), never);
    ASSERT_TRUE(missing);
    EXPECT_FALSE(missing->counts);
    EXPECT_FALSE(missing->read.ok());
    const std::atomic<bool> abandon{true};
    EXPECT_FALSE(countRegistryVisits(folder.write("a.log", test::kIis6Header), abandon));
}

TEST(RegistryStatistics, columnsPerGroupOrForTheBusiestCrawlers)
{
    const std::vector<RegistryFileStats> rows = {
        row("a.log", {{"GPTBot", 5}, {"Googlebot", 3}, {"ClaudeBot", 1}, {"AhrefsBot", 2}}),
        row("b.log", {{"GPTBot", 1}, {"Baiduspider", 7}, {"ChatGPT-User", 4}}),
        RegistryFileStats{"c.log", "0.0K", std::nullopt, Status::failure("locked")},
    };
    const std::vector<RegistryColumn> groups = registryColumns(RegistryView::Groups, rows, 0, allCrawlers());
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_EQ(registryCaptions(groups)[2], gbk("搜索引擎"));
    EXPECT_EQ(registryRowTexts(rows[0], groups),
              (std::vector<std::string>{"a.log", "1.0K", "3", "6", "0", "0", "2", "0"}));
    EXPECT_EQ(registryRowTexts(rows[2], groups), (std::vector<std::string>{"c.log", "0.0K", "", "", "", "", "", ""}));

    const std::vector<RegistryColumn> top = registryColumns(RegistryView::Crawlers, rows, 2, allCrawlers());
    EXPECT_EQ(registryCaptions(top), (std::vector<std::string>{gbk("日志文件名"), gbk("大小"), gbk("百度"), "GPTBot", gbk("其余")}));
    EXPECT_EQ(registryRowCounts(rows[0], top), (std::vector<std::int64_t>{0, 5, 6}));
    EXPECT_EQ(registryRowCounts(rows[1], top), (std::vector<std::int64_t>{7, 1, 4}));

    // Only the AI groups: the search and SEO columns go, the busiest AI crawlers lead.
    const std::vector<RegistryColumn> ai = registryColumns(RegistryView::Groups, rows, 0, aiCrawlers());
    EXPECT_EQ(ai.size(), 3u);
    const std::vector<RegistryColumn> aiTop = registryColumns(RegistryView::Crawlers, rows, 5, aiCrawlers());
    EXPECT_EQ(registryCaptions(aiTop),
              (std::vector<std::string>{gbk("日志文件名"), gbk("大小"), "GPTBot", "ChatGPT-User", "ClaudeBot", gbk("其余")}));
}

TEST(RegistryStatsWorker, deliversEveryFileThenFinishes)
{
    TempFolder folder;
    folder.write("a.log", test::kIis6Header + line("1.1.1.1", "GPTBot/1.3"));
    folder.write("b.log", test::kIis6Header);
    QueueDispatcher ui;
    std::vector<std::string> names;
    bool finished = false;
    const std::atomic<bool> stop{false};
    RegistryStatsWorker worker(folder.path(), stop, ui,
                               {[&](const RegistryFileStats& row) { names.push_back(row.fileName); },
                                [&] { finished = true; }});
    while (!finished)
        ASSERT_TRUE(ui.runOne(std::chrono::seconds(10)));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.log", "b.log"}));
}

} // namespace
