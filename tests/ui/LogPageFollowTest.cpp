// "跟踪" on the log page: a writer appends to today's log while the page, sorted, follows it.
#include "UiTestSupport.h"
#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "logs/ColumnSort.h"
#include "logs/LogTestSupport.h"
#include "support/DnsTestServer.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

// Line i of the test log: every third a Baidu crawler's, every seventh an image; the time taken
// spreads the lines over the sorted list.
std::string stemOf(int i)
{
    char stem[32];
    std::snprintf(stem, sizeof stem, "/p%07d.%s", i, i % 7 == 0 ? "gif" : "htm");
    return stem;
}

std::string followedLine(int i)
{
    return iisLine({.stem = stemOf(i), .agent = i % 3 == 0 ? "Baiduspider" : "Mozilla", .timeTaken = std::to_string(i * 7919 % 1000)});
}

std::string followedLines(int from, int to)
{
    std::string lines;
    for (int i = from; i < to; ++i)
        lines += followedLine(i);
    return lines;
}

// The URI stems of the store's records in file order.
std::vector<std::string> stemsInFileOrder(const RecordStore& store)
{
    std::vector<std::string> stems(store.count());
    for (std::uint32_t row = 0; row < store.count(); ++row)
        stems[store.recordAt(row)] = cellText(store, row, kColUriStem);
    return stems;
}

QTableView* recordList(const LogPage& page) { return child<QTableView>(&page, "lv2"); }

std::set<std::uint32_t> selectedRecords(const LogPage& page, const RecordStore& store)
{
    std::set<std::uint32_t> records;
    for (const QModelIndex& index : recordList(page)->selectionModel()->selectedRows())
        records.insert(store.recordAt(page.model()->storeRow(index.row())));
    return records;
}

struct FollowFixture {
    TempFolder folder;
    std::string path;
    LogAnalysis analysis;
    LogPage page{analysis, {}};

    FollowFixture(const std::string& name, const std::string& log) : path(folder.write(name, log))
    {
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(1000, 600);
        page.show();
        child<QCheckBox>(&page, "CheckBox3")->setChecked(true); // 蜘蛛: crawler lines only
        page.setFollowing(true);
        page.reload();
    }
    QString summary() const { return child<QLabel>(&page, "Label4")->text(); }
};

void append(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary | std::ios::app) << bytes;
}

} // namespace

// At 1,000 and at 50,000 lines a second, sorted by "用时": each crawler line written appears once,
// in its sorted place, the rows in sight and the selection stay, and the rows are those of one
// load of the whole file.
TEST(LogPageFollow, everyWrittenCrawlerLineJoinsTheSortedListOnce)
{
    for (int rate : {1000, 50000}) {
        SCOPED_TRACE(rate);
        constexpr int kLoaded = 3000;
        FollowFixture f("u_ex261208.log", kIis6Header + followedLines(0, kLoaded));
        ASSERT_TRUE(f.page.isFollowing());
        std::optional<QAbstractItemModelTester> tester;
        if (rate == 1000) // it checks every row of each change: too slow for the faster writer
            tester.emplace(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        clickHeader(recordList(f.page)->horizontalHeader(), kColTimeTaken);
        ASSERT_FALSE(f.analysis.store().order().empty());

        QTableView* view = recordList(f.page);
        view->selectionModel()->select(QItemSelection(view->model()->index(40, 0), view->model()->index(44, 0)),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QApplication::processEvents(); // laid out, so the scroll takes
        view->scrollTo(view->model()->index(300, 0), QAbstractItemView::PositionAtTop);
        QApplication::processEvents();
        ASSERT_EQ(view->rowAt(0), 300);
        const std::set<std::uint32_t> selected = selectedRecords(f.page, f.analysis.store());
        const std::uint32_t topRecord = f.analysis.store().recordAt(static_cast<std::uint32_t>(view->rowAt(0)));

        const int total = kLoaded + rate * 3; // three seconds of writing
        std::thread writer([&, rate] {
            const int perTick = rate / 100;
            auto next = std::chrono::steady_clock::now();
            std::ofstream out(f.path, std::ios::binary | std::ios::app);
            for (int i = kLoaded; i < total; i += perTick) {
                const std::string lines = followedLines(i, std::min(total, i + perTick));
                out.write(lines.data(), static_cast<std::streamsize>(lines.size()));
                out.flush();
                next += std::chrono::milliseconds(10);
                std::this_thread::sleep_until(next);
            }
        });
        std::vector<std::string> expected;
        for (int i = 0; i < total; ++i)
            if (i % 3 == 0 && i % 7 != 0)
                expected.push_back(stemOf(i));
        const bool allCame = waitUntil([&] { return f.analysis.store().count() >= expected.size(); }, 180000);
        writer.join();
        ASSERT_TRUE(allCame) << f.analysis.store().count() << " of " << expected.size();
        QTest::qWait(100); // nothing more may come

        const RecordStore& store = f.analysis.store();
        EXPECT_EQ(stemsInFileOrder(store), expected);
        EXPECT_EQ(store.order(), sortByColumn(store, kColTimeTaken, f.analysis.sortDescending(), SortKind::Numeric));
        EXPECT_EQ(selectedRecords(f.page, store), selected);
        EXPECT_EQ(store.recordAt(static_cast<std::uint32_t>(view->rowAt(0))), topRecord);
        EXPECT_TRUE(f.summary().endsWith(QString::fromUtf8("共有 %1条记录").arg(expected.size()))) << f.summary().toStdString();

        LogAnalysis whole;
        FilterSnapshot filters;
        filters.spiders = true;
        ASSERT_TRUE(whole.load(f.path, filters).read());
        std::vector<std::vector<std::string>> followedRows;
        std::vector<std::uint32_t> rowOfRecord(store.count());
        for (std::uint32_t row = 0; row < store.count(); ++row)
            rowOfRecord[store.recordAt(row)] = row;
        for (std::uint32_t record = 0; record < store.count(); ++record) {
            auto texts = rowTexts(store, rowOfRecord[record]);
            texts[kColRow] = std::to_string(record);
            followedRows.emplace_back(texts.begin(), texts.end());
        }
        EXPECT_EQ(followedRows, shownRows(whole));
        screenshot(&f.page, rate == 1000 ? "log-page-following" : "log-page-following-fast");
    }
}

// The file cut and written anew, the next day's file, the file renamed away: the page reloads
// once, switches to the new file, or stops, and says so on the summary line.
TEST(LogPageFollow, reloadsSwitchesOrStopsWhenTheFileOrFolderChanges)
{
    const std::string crawler1 = followedLine(3), crawler2 = followedLine(6), crawler3 = followedLine(9);
    {
        SCOPED_TRACE("cut and written anew");
        FollowFixture f("u_ex261208.log", kIis6Header + crawler1 + crawler2);
        ASSERT_EQ(f.analysis.store().count(), 2u);
        TempFolder::writeFile(f.path, kIis6Header + crawler3);
        ASSERT_TRUE(waitUntil([&] { return f.summary().contains(QString::fromUtf8("已重新加载")); }));
        EXPECT_EQ(stemsInFileOrder(f.analysis.store()), std::vector<std::string>{"/p0000009.htm"});
        EXPECT_TRUE(f.page.isFollowing());
        append(f.path, crawler1);
        EXPECT_TRUE(waitUntil([&] { return f.analysis.store().count() == 2; }));
        screenshot(&f.page, "log-page-follow-reloaded");
    }
    {
        SCOPED_TRACE("the next day's file");
        FollowFixture f("u_ex261208.log", kIis6Header + crawler1);
        f.folder.write("u_ex261209.log", kIis6Header + crawler2);
        ASSERT_TRUE(waitUntil([&] { return f.summary().contains(QString::fromUtf8("已切换到新的日志文件 u_ex261209.log")); }));
        QComboBox* box = child<QComboBox>(&f.page, "cbb1");
        EXPECT_EQ(box->currentText(), QStringLiteral("u_ex261209.log"));
        EXPECT_EQ(box->count(), 2);
        EXPECT_EQ(stemsInFileOrder(f.analysis.store()), std::vector<std::string>{"/p0000006.htm"});
        append(f.folder.file("u_ex261209.log"), crawler3);
        EXPECT_TRUE(waitUntil([&] { return f.analysis.store().count() == 2; }));
        f.folder.write("u_ex261201.log", kIis6Header); // an older day copied in is listed, not followed
        EXPECT_TRUE(waitUntil([&] { return box->count() == 3; }));
        EXPECT_EQ(box->currentText(), QStringLiteral("u_ex261209.log"));
        screenshot(&f.page, "log-page-follow-switched");
    }
    {
        SCOPED_TRACE("renamed away");
        FollowFixture f("u_ex261208.log", kIis6Header + crawler1);
        std::filesystem::rename(f.path, f.folder.file("u_ex261208.old"));
        ASSERT_TRUE(waitUntil([&] { return !f.page.isFollowing(); }));
        EXPECT_TRUE(f.summary().endsWith(QString::fromUtf8("日志文件已被移走，跟踪停止"))) << f.summary().toStdString();
        EXPECT_EQ(f.analysis.store().count(), 1u);
    }
}

TEST(LogPageFollow, tickingTheBoxFollowsTheLoadedFileAndUntickingStops)
{
    TempFolder folder;
    const std::string line = followedLine(3);
    // The last line is still being written: a load to be followed leaves it for later.
    const std::string path = folder.write("u_ex1.log", kIis6Header + line + line.substr(0, 80));
    LogAnalysis analysis;
    LogPage page{analysis, {}};
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.listLogFiles(true);
    page.reload();
    EXPECT_EQ(analysis.store().count(), 2u);
    EXPECT_FALSE(page.isFollowing());
    child<QCheckBox>(&page, "CheckBoxFollow")->click();
    EXPECT_TRUE(page.isFollowing());
    EXPECT_EQ(analysis.store().count(), 1u);
    append(path, line.substr(80));
    EXPECT_TRUE(waitUntil([&] { return analysis.store().count() == 2; }));
    child<QCheckBox>(&page, "CheckBoxFollow")->click();
    EXPECT_FALSE(page.isFollowing());
    append(path, line);
    QTest::qWait(200);
    EXPECT_EQ(analysis.store().count(), 2u);
}

// With the crawler check on and only fakes shown, the addresses of crawler lines that follow are
// checked as they come: a fake joins the narrowed list, the row chosen before stays chosen.
TEST(LogPageFollow, checksTheCrawlersThatFollowAndNarrowsToTheirFakes)
{
    auto visit = [](const std::string& address, const std::string& agent, const std::string& stem) {
        return iisLine({.stem = stem, .client = address, .agent = agent});
    };
    DnsTestServer dns;
    dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
    dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
    dns.addPtr("10.0.0.2", {"googlebot.com.evil.net"});
    dns.addPtr("10.0.0.3", {"baiduspider.evil.net"});
    TempFolder folder;
    const std::string path = folder.write("u_ex1.log", kIis6Header + visit("66.249.66.1", "Googlebot/2.1", "/a.htm") +
                                                           visit("10.0.0.2", "Googlebot/2.1", "/b.htm"));
    LogAnalysis analysis;
    LogPage::Options options;
    options.verifier.emplace();
    options.verifier->dns.server = dns.address();
    options.verifier->dns.timeoutMs = 150;
    LogPage page{analysis, std::move(options)};
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.listLogFiles(true);
    page.show();
    page.setFollowing(true);
    page.setVerificationBoxes(true, true);
    page.reload();
    QAbstractItemModelTester tester(page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(waitUntil([&] { return !page.isVerifying() && page.model()->rowCount() == 1; }, 20000));
    QTableView* view = recordList(page);
    view->selectionModel()->select(view->model()->index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);

    append(path, visit("10.0.0.7", "Mozilla/5.0", "/c.htm") + visit("10.0.0.3", "Baiduspider", "/d.htm") +
                     visit("10.0.0.2", "Googlebot/2.1", "/e.htm"));
    ASSERT_TRUE(waitUntil([&] { return analysis.store().count() == 5 && page.model()->rowCount() == 3; }, 20000));
    QStringList fakes;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        fakes << view->model()->index(row, kColUriStem).data().toString();
    EXPECT_EQ(fakes, (QStringList{QStringLiteral("/b.htm"), QStringLiteral("/d.htm"), QStringLiteral("/e.htm")}));
    const QModelIndexList chosen = view->selectionModel()->selectedRows();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().sibling(chosen.front().row(), kColUriStem).data().toString(), QStringLiteral("/b.htm"));
    screenshot(&page, "log-page-follow-fakes");
}
