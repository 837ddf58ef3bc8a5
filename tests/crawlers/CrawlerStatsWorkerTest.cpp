#include "crawlers/CrawlerStatistics.h"
#include "crawlers/CrawlerStatsWorker.h"

#include "platform/FileSystem.h"
#include "platform/QueueDispatcher.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quill;
using quill::test::TempFolder;

namespace {

// A queue for the "user-interface thread" with a hook that runs on the worker at each post.
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

// What the statistics page would show: rows in order, then "finished".
struct PageRecord {
    std::vector<CrawlerFileStats> rows;
    std::vector<std::string> events;

    CrawlerStatsWorker::Handlers handlers()
    {
        return {[this](const CrawlerFileStats& row) {
                    rows.push_back(row);
                    events.push_back(row.fileName);
                },
                [this] { events.push_back("finished"); }};
    }
    bool finished() const { return !events.empty() && events.back() == "finished"; }
};

// Runs posted tasks until the run has finished; fails after a generous deadline.
void runUntilFinished(QueueDispatcher& ui, const PageRecord& page)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (!page.finished()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the run did not finish";
        ui.runOne(std::chrono::milliseconds(100));
    }
}

std::vector<std::string> expectedNames(const std::string& folder)
{
    std::vector<std::string> names;
    for (const DirectoryEntry& entry : findEntries(folder, "*.log"))
        if (!entry.isDirectory)
            names.push_back(entry.name);
    return names;
}

// A folder with four logs, a folder named like a log, a sub-folder with a log, and another file.
void fillLogFolder(const TempFolder& folder)
{
    folder.write("ex090101.log", "GET / 200 Googlebot\r\nGET / 200 Baiduspider\r\n");
    folder.write("ex090102.LOG", "GET / 200 msnbot\r\n");
    folder.write("ex090103.log", "");
    folder.write("ex090104.log", "GET / 200 Sogou\r\n");
    folder.write("notes.txt", "Googlebot\r\n");
    std::filesystem::create_directory(folder.file("old.log"));
    std::filesystem::create_directory(folder.file("sub"));
    folder.write("sub/ex090105.log", "Googlebot\r\n");
}

} // namespace

TEST(CrawlerStatsWorker, countsTheLogsOfTheFolderInListingOrderThenFinishes)
{
    TempFolder folder;
    fillLogFolder(folder);
    QueueDispatcher ui;
    PageRecord page;
    std::atomic<bool> stop{false};
    CrawlerStatsWorker worker(folder.path(), stop, ui, page.handlers());
    runUntilFinished(ui, page);

    std::vector<std::string> expected = expectedNames(folder.path());
    ASSERT_EQ(expected.size(), 4u);
    expected.push_back("finished");
    EXPECT_EQ(page.events, expected);
    for (const CrawlerFileStats& row : page.rows) {
        ASSERT_TRUE(row.counts);
        if (row.fileName == "ex090101.log") {
            EXPECT_EQ(*row.counts, (StatisticsCounts{1, 1, 0, 0, 0, 0, 0}));
        }
    }
}

TEST(CrawlerStatsWorker, aStopEndsTheRunAfterTheFileBeingCounted)
{
    TempFolder folder;
    fillLogFolder(folder);
    HookedDispatcher ui;
    PageRecord page;
    std::atomic<bool> stop{false};
    ui.onPost = [&](int post) {
        if (post == 0)
            stop = true; // "停止" while the first row is on its way
    };
    CrawlerStatsWorker worker(folder.path(), stop, ui, page.handlers());
    runUntilFinished(ui.queue, page);
    EXPECT_EQ(page.events, (std::vector<std::string>{expectedNames(folder.path())[0], "finished"}));
    EXPECT_TRUE(page.rows[0].counts);
}

TEST(CrawlerStatsWorker, filesOfAVanishedFolderGetRowsWithoutCounts)
{
    TempFolder folder;
    fillLogFolder(folder);
    const std::vector<std::string> names = expectedNames(folder.path());
    HookedDispatcher ui;
    PageRecord page;
    std::atomic<bool> stop{false};
    ui.onPost = [&](int post) {
        if (post == 0)
            std::filesystem::remove_all(folder.path());
    };
    CrawlerStatsWorker worker(folder.path(), stop, ui, page.handlers());
    runUntilFinished(ui.queue, page);
    ASSERT_EQ(page.rows.size(), names.size());
    EXPECT_TRUE(page.rows[0].counts);
    for (size_t i = 1; i < page.rows.size(); ++i) {
        EXPECT_EQ(page.rows[i].fileName, names[i]);
        EXPECT_FALSE(page.rows[i].counts);
        EXPECT_EQ(page.rows[i].sizeText, "0.0K");
    }
}

TEST(CrawlerStatsWorker, theFolderIsCutToItsFirst200Bytes)
{
    const struct {
        std::string folder;
        std::string cut;
    } cases[] = {
        {"/var/log/w3svc1", "/var/log/w3svc1"},
        {std::string(250, 'a'), std::string(200, 'a')},
        {std::string(199, 'a') + "\xB0\xA1", std::string(199, 'a')}, // no half character
        {std::string(198, 'a') + "\xB0\xA1", std::string(198, 'a') + "\xB0\xA1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(statisticsFolder(c.folder), c.cut);

    // A longer folder path names a folder that begins with the same 200 bytes.
    TempFolder base;
    const std::string cut = base.file(std::string(kStatisticsFolderLimit - base.path().size() - 1, 'd'));
    ASSERT_EQ(cut.size(), kStatisticsFolderLimit);
    std::filesystem::create_directory(cut);
    std::filesystem::create_directory(cut + "xyz");
    QueueDispatcher ui;
    PageRecord page;
    std::atomic<bool> stop{false};
    base.write(cut.substr(base.path().size() + 1) + "/short.log", "");
    base.write(cut.substr(base.path().size() + 1) + "xyz/long.log", "");
    CrawlerStatsWorker worker(cut + "xyz", stop, ui, page.handlers());
    runUntilFinished(ui, page);
    EXPECT_EQ(page.events, (std::vector<std::string>{"short.log", "finished"}));
}

TEST(CrawlerStatsWorker, anEmptyFolderSettingListsTheRootWithoutHanging)
{
    QueueDispatcher ui;
    PageRecord page;
    std::atomic<bool> stop{false};
    CrawlerStatsWorker worker("", stop, ui, page.handlers());
    runUntilFinished(ui, page);
    for (const CrawlerFileStats& row : page.rows)
        EXPECT_TRUE(matchesWildcard(row.fileName, "*.log")) << row.fileName;
}

TEST(CrawlerStatistics, aStopBeforeTheRunIsClearedByTheNextStart)
{
    TempFolder folder;
    fillLogFolder(folder);
    QueueDispatcher ui;
    PageRecord page;
    CrawlerStatistics statistics(ui, page.handlers());
    statistics.requestStop(); // "停止" with no run
    ASSERT_TRUE(statistics.start(folder.path()));
    runUntilFinished(ui, page);
    EXPECT_EQ(page.rows.size(), 4u);
    EXPECT_FALSE(statistics.isCounting());
}

TEST(CrawlerStatistics, oneRunAtATimeAndANewRunAfterTheLastEnds)
{
    TempFolder folder;
    fillLogFolder(folder);
    QueueDispatcher ui;
    PageRecord page;
    CrawlerStatistics statistics(ui, page.handlers());
    ASSERT_TRUE(statistics.start(folder.path()));
    EXPECT_FALSE(statistics.start(folder.path()));
    runUntilFinished(ui, page);
    EXPECT_EQ(page.rows.size(), 4u);
    EXPECT_EQ(ui.drain(), 0);

    page = {};
    ASSERT_TRUE(statistics.start(folder.path()));
    runUntilFinished(ui, page);
    EXPECT_EQ(page.rows.size(), 4u);
}

TEST(CrawlerStatistics, nothingIsDeliveredAfterTheOwnerIsGone)
{
    TempFolder folder;
    std::string line = "GET / 200 Mozilla/5.0+(compatible;+Baiduspider/2.0)\r\n";
    std::string big;
    while (big.size() < 8'000'000)
        big += line;
    for (const char* name : {"a.log", "b.log", "c.log"})
        folder.write(name, big);

    for (bool afterFirstRow : {false, true}) {
        QueueDispatcher ui;
        PageRecord page;
        {
            CrawlerStatistics statistics(ui, page.handlers());
            statistics.start(folder.path());
            while (afterFirstRow && page.rows.empty()) {
                ASSERT_TRUE(ui.runOne(std::chrono::seconds(120)));
            }
        }
        const size_t delivered = page.events.size();
        ui.drain();
        EXPECT_EQ(page.events.size(), delivered);
        EXPECT_FALSE(page.finished());
    }
}
