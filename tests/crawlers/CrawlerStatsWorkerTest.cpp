#include "crawlers/CrawlerStatistics.h"
#include "crawlers/CrawlerStatsWorker.h"

#include "logsource/LogFiles.h"
#include "platform/QueueDispatcher.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quill;
using quill::test::TempFolder;

namespace {

// The "user-interface thread" queue, with a hook that runs on the worker at each post.
class HookedDispatcher : public UiDispatcher {
public:
    std::function<void(int postIndex)> onPost;
    QueueDispatcher queue;

    void post(std::function<void()> task) override
    {
        if (onPost)
            onPost(m_posts++);
        queue.post(std::move(task));
    }

private:
    int m_posts = 0;
};

class StatsRun : public ::testing::Test {
protected:
    // A folder with four logs, a folder named like a log, a sub-folder with a log, another file.
    void SetUp() override
    {
        logs.write("ex090101.log", "GET / 200 Googlebot\r\nGET / 200 Baiduspider\r\n");
        logs.write("ex090102.LOG", "GET / 200 msnbot\r\n");
        logs.write("ex090103.log", "");
        logs.write("ex090104.log", "GET / 200 Sogou\r\n");
        logs.write("notes.txt", "Googlebot\r\n");
        std::filesystem::create_directory(logs.file("old.log"));
        std::filesystem::create_directory(logs.file("sub"));
        logs.write("sub/ex090105.log", "Googlebot\r\n");
    }

    // What the statistics page would show: a row name per row, then "finished".
    CrawlerStatsWorker::Handlers handlers()
    {
        return {[this](const CrawlerFileStats& row) {
                    rows.push_back(row);
                    events.push_back(row.fileName);
                },
                [this] { events.push_back("finished"); }};
    }
    bool finished() const { return !events.empty() && events.back() == "finished"; }

    void runUntilFinished()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
        while (!finished()) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the run did not finish";
            ui.queue.runOne(std::chrono::milliseconds(100));
        }
    }

    // The logs in the order the folder's listing gives them (by name), folders left out.
    std::vector<std::string> listedLogs() const
    {
        std::vector<std::string> names;
        for (const DirectoryEntry& entry : findLogEntries(logs.path()))
            if (!entry.isDirectory)
                names.push_back(entry.name);
        return names;
    }

    TempFolder logs;
    HookedDispatcher ui;
    std::atomic<bool> stop{false};
    std::vector<CrawlerFileStats> rows;
    std::vector<std::string> events;
};

} // namespace

TEST_F(StatsRun, countsTheLogsOfTheFolderInListingOrderThenFinishes)
{
    CrawlerStatsWorker worker(logs.path(), stop, ui, handlers());
    runUntilFinished();
    std::vector<std::string> expected = listedLogs();
    ASSERT_EQ(expected.size(), 4u);
    expected.push_back("finished");
    EXPECT_EQ(events, expected);
    for (const CrawlerFileStats& row : rows) {
        ASSERT_TRUE(row.counts);
        if (row.fileName == "ex090101.log") {
            EXPECT_EQ(*row.counts, (StatisticsCounts{1, 1, 0, 0, 0, 0, 0}));
        }
    }
}

TEST_F(StatsRun, aStopEndsTheRunAfterTheFileBeingCounted)
{
    ui.onPost = [&](int post) {
        if (post == 0)
            stop = true; // "停止" while the first row is on its way
    };
    CrawlerStatsWorker worker(logs.path(), stop, ui, handlers());
    runUntilFinished();
    EXPECT_EQ(events, (std::vector<std::string>{listedLogs()[0], "finished"}));
    EXPECT_TRUE(rows[0].counts);
}

TEST_F(StatsRun, filesOfAVanishedFolderGetRowsWithoutCounts)
{
    const std::vector<std::string> names = listedLogs();
    ui.onPost = [&](int post) {
        if (post == 0)
            std::filesystem::remove_all(logs.path());
    };
    CrawlerStatsWorker worker(logs.path(), stop, ui, handlers());
    runUntilFinished();
    ASSERT_EQ(rows.size(), names.size());
    EXPECT_TRUE(rows[0].counts);
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].fileName, names[i]);
        EXPECT_FALSE(rows[i].counts);
        EXPECT_EQ(rows[i].sizeText, "0.0K");
    }
}

TEST_F(StatsRun, theFolderIsCutToItsFirst200Bytes)
{
    EXPECT_EQ(statisticsFolder(std::string(250, 'a')), std::string(200, 'a'));
    EXPECT_EQ(statisticsFolder(std::string(199, 'a') + "\xB0\xA1"), std::string(199, 'a')); // no half character

    // A longer path names another folder that begins with the same 200 bytes.
    const std::string name(kStatisticsFolderLimit - logs.path().size() - 1, 'd');
    std::filesystem::create_directory(logs.file(name));
    std::filesystem::create_directory(logs.file(name + "xyz"));
    logs.write(name + "/short.log", "");
    logs.write(name + "xyz/long.log", "");
    CrawlerStatsWorker worker(logs.file(name + "xyz"), stop, ui, handlers());
    runUntilFinished();
    EXPECT_EQ(events, (std::vector<std::string>{"short.log", "finished"}));
}

TEST_F(StatsRun, anEmptyFolderSettingListsTheRootWithoutHanging)
{
    CrawlerStatsWorker worker("", stop, ui, handlers());
    runUntilFinished();
    for (const CrawlerFileStats& row : rows)
        EXPECT_TRUE(matchesWildcard(row.fileName, "*.log")) << row.fileName;
}

TEST_F(StatsRun, aStopBeforeStartIsClearedAndOneRunRunsAtATime)
{
    CrawlerStatistics statistics(ui, handlers());
    statistics.requestStop(); // "停止" with no run
    ASSERT_TRUE(statistics.start(logs.path()));
    EXPECT_FALSE(statistics.start(logs.path()));
    runUntilFinished();
    EXPECT_EQ(rows.size(), 4u);
    EXPECT_FALSE(statistics.isCounting());

    events.clear();
    ASSERT_TRUE(statistics.start(logs.path()));
    runUntilFinished();
    EXPECT_EQ(events.size(), 5u);
}

TEST_F(StatsRun, nothingIsDeliveredAfterTheOwnerIsGone)
{
    std::string big;
    while (big.size() < 8'000'000)
        big += "GET / 200 Mozilla/5.0+(compatible;+Baiduspider/2.0)\r\n";
    for (const char* name : {"ex090101.log", "ex090102.LOG", "ex090104.log"})
        logs.write(name, big);

    for (bool afterFirstRow : {false, true}) {
        events.clear();
        {
            CrawlerStatistics statistics(ui, handlers());
            statistics.start(logs.path());
            while (afterFirstRow && events.empty()) {
                ASSERT_TRUE(ui.queue.runOne(std::chrono::seconds(120)));
            }
        }
        const size_t delivered = events.size();
        ui.queue.drain();
        EXPECT_EQ(events.size(), delivered);
        EXPECT_FALSE(finished());
    }
}
