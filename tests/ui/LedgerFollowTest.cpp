// A log followed on the log page reaches the crawl ledger as it is written: the day is counted
// once, whether it is added again later or was partly added before.
#include "UiTestSupport.h"
#include "../ledger/LedgerTestSupport.h"
#include "gui/LedgerPage.h"
#include "gui/LogPage.h"
#include "ledger/LedgerAdd.h"

#include <QCheckBox>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace quill;
using namespace quill::test;

namespace {

// Visit i of the day: every third one Baidu's, the rest a browser's.
std::string visitLines(int from, int to)
{
    std::string lines;
    for (int i = from; i < to; ++i)
        lines += iis6Line(Visit{.day = "2026-12-08",
                                .path = "/p" + std::to_string(i) + ".htm",
                                .agent = i % 3 == 0 ? kBaiduAgent : "Mozilla/5.0+(X11)"});
    return lines;
}

int crawlerVisits(int from, int to)
{
    int count = 0;
    for (int i = from; i < to; ++i)
        count += i % 3 == 0;
    return count;
}

void append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

Status addToLedger(const std::string& ledger, const std::vector<std::string>& paths, std::vector<AddOutcome>* outcomes = nullptr)
{
    auto opened = Ledger::open(ledger, LedgerOpenOptions{LedgerAccess::Write, 30000});
    if (!opened.ok())
        return opened.status();
    const std::atomic<bool> stop{false};
    return addLogs(*opened.value(), paths, {}, stop, [&](const AddedFile& file) {
        if (outcomes)
            outcomes->push_back(file.outcome);
    });
}

// "requests / crawler requests / crawler hits" of the ledger.
std::string ledgerCounts(const std::string& ledger)
{
    const auto days = ledgerRows(ledger, "SELECT coalesce(sum(requests), 0), coalesce(sum(crawler_requests), 0) FROM day_total");
    const auto hits = ledgerRows(ledger, "SELECT coalesce(sum(hits), 0) FROM crawl");
    return days.empty() || hits.empty() ? "" : days[0] + "|" + hits[0];
}

struct Followed {
    TempFolder folder;
    std::string log = folder.write("ex261208.log", kIis6Header + visitLines(0, 300));
    std::string ledger = folder.file("ledger.db");
    LogAnalysis analysis;
    LogPage logPage{analysis, {}};
    std::unique_ptr<LedgerPage> ledgerPage;

    Followed()
    {
        LedgerPage::Options options;
        options.followedAddDelayMs = 50;
        ledgerPage = std::make_unique<LedgerPage>(std::move(options));
        ledgerPage->setLedgerPath(ledger);
        QObject::connect(&logPage, &LogPage::followedLogGrew, ledgerPage.get(), &LedgerPage::addFollowed);
    }
    void follow()
    {
        logPage.setLogFolder(QString::fromStdString(folder.path()));
        logPage.listLogFiles(true);
        logPage.show();
        child<QCheckBox>(&logPage, "CheckBox3")->setChecked(true); // 蜘蛛: the list shows crawler lines only
        logPage.setFollowing(true);
        logPage.reload();
        ASSERT_TRUE(logPage.isFollowing());
    }
};

TEST(LedgerFollow, aDayFollowedLiveAndAddedAgainIsCountedOnce)
{
    Followed f;
    ASSERT_TRUE(addToLedger(f.ledger, {f.log}).ok()); // the morning, added before the page follows
    f.follow();
    for (int chunk = 0; chunk < 4; ++chunk) {
        append(f.log, visitLines(300 + chunk * 50, 350 + chunk * 50));
        const size_t rows = static_cast<size_t>(crawlerVisits(0, 350 + chunk * 50));
        ASSERT_TRUE(waitUntil([&] { return f.analysis.store().count() == rows; })) << chunk;
    }
    const std::string all = "500|" + std::to_string(crawlerVisits(0, 500)) + "|" + std::to_string(crawlerVisits(0, 500));
    ASSERT_TRUE(waitUntil([&] { return !f.ledgerPage->isAdding() && ledgerCounts(f.ledger) == all; }))
        << ledgerCounts(f.ledger);

    std::vector<AddOutcome> outcomes;
    ASSERT_TRUE(addToLedger(f.ledger, {f.folder.path()}, &outcomes).ok());
    EXPECT_EQ(outcomes, std::vector<AddOutcome>{AddOutcome::Known});
    EXPECT_EQ(ledgerCounts(f.ledger), all);
}

TEST(LedgerFollow, noLedgerIsMadeForAUserWhoNeverAddedALog)
{
    Followed f;
    f.follow();
    append(f.log, visitLines(300, 330));
    ASSERT_TRUE(waitUntil([&] { return f.analysis.store().count() == static_cast<size_t>(crawlerVisits(0, 330)); }));
    QTest::qWait(300); // well past the add's delay
    ASSERT_TRUE(waitUntil([&] { return !f.ledgerPage->isAdding(); }));
    EXPECT_FALSE(std::filesystem::exists(f.ledger));
}

} // namespace
