#include "UiTestSupport.h"
#include "gui/StatsChartWidget.h"
#include "gui/StatsPage.h"
#include "logsource/LogFiles.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/SettingsPage.h"
#include "app/MainWindow.h"
#include "support/Gate.h"
#include "support/RunProcess.h"

#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <filesystem>

using namespace quill;
using namespace quill::test;
using namespace std::chrono_literals;

namespace {

constexpr int kRunTimeoutMs = 120000;

// The program's dispatcher with a hook that runs on the worker each time it hands something over,
// before the task is queued; it counts the tasks that have run on the user-interface thread.
class HookedDispatcher : public UiDispatcher {
public:
    explicit HookedDispatcher(QObject* receiver) : m_qt(receiver) {}

    std::function<void(int postIndex)> onPost; // set before the run starts
    int posted() const { return m_posted; }
    int ran() const { return m_ran; }

    void post(std::function<void()> task) override
    {
        if (onPost)
            onPost(m_posted);
        ++m_posted;
        m_qt.post([this, task = std::move(task)] {
            task();
            ++m_ran;
        });
    }

private:
    QtUiDispatcher m_qt;
    std::atomic<int> m_posted{0};
    std::atomic<int> m_ran{0};
};

// The logs of `folder` in name order, folders left out: the row order.
QStringList listedLogs(const std::string& folder)
{
    QStringList names;
    for (const DirectoryEntry& entry : findLogEntries(folder))
        if (!entry.isDirectory)
            names << fromPath(entry.name);
    return names;
}

QStringList columnTexts(const QTableWidget* list, int column)
{
    QStringList texts;
    for (int row = 0; row < list->rowCount(); ++row)
        texts << list->item(row, column)->text();
    return texts;
}

QStringList counts(std::initializer_list<const char*> cells)
{
    QStringList texts;
    for (const char* cell : cells)
        texts << QString::fromLatin1(cell);
    return texts;
}

bool waitForEnd(StatsPage& page)
{
    return QTest::qWaitFor([&] { return child<QPushButton>(&page, "Button1")->isEnabled(); }, kRunTimeoutMs);
}

// A folder as the Part's tests want it: logs of every kind, an unreadable entry, a folder named
// like a log, a sub-folder with a log, and a file that is not a log.
struct LogFolder {
    TempFolder folder;

    LogFolder()
    {
        folder.write("ex090101.log", kIis6Header + iisLine({.stem = "/a.htm", .agent = "Googlebot/2.1"}) +
                                         iisLine({.stem = "/b.htm", .agent = "Baiduspider+(+http://www.baidu.com/)"}) +
                                         iisLine({.stem = "/c.htm", .agent = "BAIDUSPIDER"}) + "#Remark: msnbot\r\n");
        folder.write("ex090102.LOG", "GET / 200 Sosospider+(+http://help.soso.com/)\rGET / 200 YoudaoBot/1.0\r"
                                     "GET / Yahoo! Slurp\rqihoobot msnbot\r");
        folder.write("ex090103.log", "");
        folder.write("ex090104.log", std::string(1536, 'x') + "\r\nsogou web spider\r\n");
        std::filesystem::create_symlink(folder.file("missing"), folder.file("gone.log"));
        std::filesystem::create_directory(folder.file("old.log"));
        std::filesystem::create_directory(folder.file("sub"));
        folder.write("sub/ex090105.log", "Googlebot\r\n");
        folder.write("notes.txt", "Googlebot\r\n");
    }
    const std::string& path() const { return folder.path(); }
};

// The statistics page over `logFolder`; "导出CSV" writes to whatever `csvPath` names.
struct PageUnderTest {
    QString folder;
    std::string csvPath;
    StatsPage page;

    explicit PageUnderTest(QString logFolder, UiDispatcher* ui = nullptr, int pointSize = 0)
        : folder(std::move(logFolder)), page(options(ui))
    {
        if (pointSize > 0)
            setPointSize(&page, pointSize);
        page.resize(760, 480);
        page.show();
    }
    StatsPage::Options options(UiDispatcher* ui)
    {
        StatsPage::Options options;
        options.logFolder = [this] { return folder; };
        options.chooseCsvPath = [this](QWidget*, const QString&) { return QString::fromStdString(csvPath); };
        options.ui = ui;
        return options;
    }
    QTableWidget* list() const { return child<QTableWidget>(&page, "lv1"); }
    QLabel* message() const { return child<QLabel>(&page, "message"); }
    // "统计", as a click; false when the count did not end in time.
    bool count() const
    {
        QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
        return QTest::qWaitFor([this] { return !page.isCounting(); }, kRunTimeoutMs);
    }
    // "导出CSV" to `path`, as a click; false when the export did not end in time.
    bool exportTo(const std::string& path)
    {
        csvPath = path;
        QTest::mouseClick(child<QPushButton>(&page, "exportCsv"), Qt::LeftButton);
        return QTest::qWaitFor([this] { return child<QPushButton>(&page, "exportCsv")->isEnabled(); }, 10000);
    }
};

} // namespace

TEST(StatsPage, showsTheTenColumnsOfTheStatisticsList)
{
    PageUnderTest t(QString{});
    const QTableWidget* list = child<QTableWidget>(&t.page, "lv1");
    EXPECT_EQ(list->objectName(), QStringLiteral("lv1"));
    ASSERT_EQ(list->columnCount(), 10);
    QStringList captions;
    QList<int> widths;
    for (int column = 0; column < list->columnCount(); ++column) {
        captions << list->horizontalHeaderItem(column)->text();
        widths << list->columnWidth(column);
    }
    EXPECT_EQ(captions.join(QLatin1Char(',')), QString::fromUtf8("日志文件名,大小,百度,GOOGlE,Soso,有道,雅虎,Sogou,MSN,其它"));
    // The described widths scaled to the font, never narrower than a caption.
    const QList<int> described{80, 70, 50, 60, 50, 50, 50, 50, 50, 50};
    const QHeaderView* header = list->horizontalHeader();
    for (int column = 0; column < list->columnCount(); ++column) {
        EXPECT_GE(widths[column], described[column]) << column;
        EXPECT_GE(widths[column], header->fontMetrics().horizontalAdvance(captions[column])) << column;
    }
    EXPECT_TRUE(list->showGrid());
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(child<QPushButton>(&t.page, "Button1")->text(), QString::fromUtf8("统计"));
    EXPECT_EQ(child<QPushButton>(&t.page, "Button5")->text(), QString::fromUtf8("停止"));
    EXPECT_TRUE(child<QPushButton>(&t.page, "Button1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(&t.page, "Button5")->isEnabled());
}

TEST(StatsPage, countsTheFolderInListingOrderAndEnablesStatsAfterTheLastRow)
{
    LogFolder logs;
    PageUnderTest t(QString::fromStdString(logs.path()));
    StatsPage& page = t.page;
    // The state of the buttons and the chart each time a row arrives.
    QList<bool> statsEnabledAtRow, stopEnabledAtRow;
    QObject::connect(child<QTableWidget>(&page, "lv1")->model(), &QAbstractItemModel::rowsInserted, [&] {
        statsEnabledAtRow << child<QPushButton>(&page, "Button1")->isEnabled();
        stopEnabledAtRow << child<QPushButton>(&page, "Button5")->isEnabled();
    });

    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>(&page, "Button1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(&page, "Button5")->isEnabled());
    ASSERT_TRUE(waitForEnd(page));

    const QStringList expected = listedLogs(logs.path());
    ASSERT_EQ(expected.size(), 5); // the folder "old.log", the sub-folder and notes.txt give no row
    EXPECT_EQ(columnTexts(child<QTableWidget>(&page, "lv1"), 0), expected);
    EXPECT_EQ(statsEnabledAtRow, QList<bool>(5, false)); // enabled only after the last row
    EXPECT_EQ(stopEnabledAtRow, QList<bool>(5, true));
    EXPECT_EQ(child<StatsChartWidget>(&page, "chart")->rowCount(), 5);

    const auto row = [&](const char* name) { return rowTexts(child<QTableWidget>(&page, "lv1"), expected.indexOf(QString::fromLatin1(name))); };
    // Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN, then the empty "其它".
    EXPECT_EQ(row("ex090101.log").mid(2), counts({"2", "1", "0", "0", "0", "0", "1", ""}));
    EXPECT_EQ(row("ex090102.LOG").mid(2), counts({"0", "0", "1", "1", "1", "0", "1", ""}));
    EXPECT_EQ(row("ex090103.log"), counts({"ex090103.log", "0.0K", "0", "0", "0", "0", "0", "0", "0", ""}));
    EXPECT_EQ(row("ex090104.log").mid(1), counts({"1.5K", "0", "0", "0", "0", "0", "1", "0", ""}));
    // An entry that cannot be read keeps its row, with empty count cells: zeros would claim it was counted.
    EXPECT_EQ(row("gone.log"), counts({"gone.log", "0.0K", "", "", "", "", "", "", "", ""}));
    EXPECT_FALSE(child<QTableWidget>(&page, "lv1")->item(expected.indexOf(QStringLiteral("gone.log")), 0)->toolTip().isEmpty());
    EXPECT_TRUE(child<StatsChartWidget>(&page, "chart")->barRects(expected.indexOf(QStringLiteral("gone.log"))).isEmpty());
    EXPECT_EQ(child<StatsChartWidget>(&page, "chart")->barRects(expected.indexOf(QStringLiteral("ex090101.log"))).size(), 7);
}

TEST(StatsPage, aStopAfterTheFirstFileShowsThatRowAndCountsNoFurtherFile)
{
    LogFolder logs;
    QObject receiver;
    HookedDispatcher ui(&receiver);
    Gate firstCounted, stopPressed;
    // The worker has counted the first file and waits, with its row in hand, until "停止" is pressed.
    ui.onPost = [&](int post) {
        if (post == 0) {
            firstCounted.open();
            stopPressed.wait(60s);
        }
    };
    PageUnderTest t(QString::fromStdString(logs.path()), &ui);
    StatsPage& page = t.page;

    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(firstCounted.wait(60s));
    QTest::mouseClick(child<QPushButton>(&page, "Button5"), Qt::LeftButton);
    stopPressed.open();
    ASSERT_TRUE(waitForEnd(page));

    EXPECT_EQ(columnTexts(child<QTableWidget>(&page, "lv1"), 0), listedLogs(logs.path()).mid(0, 1));
    EXPECT_EQ(ui.posted(), 2); // that row and the end: no further file was counted
    EXPECT_EQ(child<StatsChartWidget>(&page, "chart")->rowCount(), 1);
}

TEST(StatsPage, aStopPressedBeforeStatsHasNoLastingEffect)
{
    LogFolder logs;
    PageUnderTest t(QString::fromStdString(logs.path()));
    QTest::mouseClick(child<QPushButton>(&t.page, "Button5"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&t.page, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(waitForEnd(t.page));
    EXPECT_EQ(child<QTableWidget>(&t.page, "lv1")->rowCount(), 5);
}

TEST(StatsPage, destroyingThePageMidRunDropsTheRowsStillOnTheirWay)
{
    LogFolder logs;
    QObject receiver; // outlives the page, so the tasks posted to it still run after the page is gone
    HookedDispatcher ui(&receiver);
    Gate secondCounted, destroying;
    ui.onPost = [&](int post) {
        if (post == 1) {
            secondCounted.open();
            destroying.wait(60s);
        }
    };
    auto t = std::make_unique<PageUnderTest>(QString::fromStdString(logs.path()), &ui);
    QTest::mouseClick(child<QPushButton>(&t->page, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(secondCounted.wait(60s));
    // The first row waits in the event queue, the second is being handed over, more files follow.
    destroying.open();
    t.reset(); // stops the worker and waits for it, before its handlers' widgets go
    const int posted = ui.posted();
    EXPECT_GE(posted, 2);
    // Every task posted before the end runs now and must touch nothing of the destroyed page (ASan).
    EXPECT_TRUE(QTest::qWaitFor([&] { return ui.ran() == posted; }, 10000));
    EXPECT_EQ(ui.posted(), posted); // nothing was posted after the worker was joined
}

TEST(StatsPage, statsPressedAgainEmptiesTheListBeforeTheNewRun)
{
    LogFolder first;
    TempFolder second;
    second.write("u_ex1.log", "Googlebot\r\n");
    PageUnderTest t(QString::fromStdString(first.path()));
    QTest::mouseClick(child<QPushButton>(&t.page, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(waitForEnd(t.page));
    ASSERT_EQ(child<QTableWidget>(&t.page, "lv1")->rowCount(), 5);

    t.folder = QString::fromStdString(second.path()); // the window's folder changed since
    QTest::mouseClick(child<QPushButton>(&t.page, "Button1"), Qt::LeftButton);
    EXPECT_EQ(child<QTableWidget>(&t.page, "lv1")->rowCount(), 0);
    EXPECT_EQ(child<StatsChartWidget>(&t.page, "chart")->rowCount(), 0);
    ASSERT_TRUE(waitForEnd(t.page));
    EXPECT_EQ(rowTexts(child<QTableWidget>(&t.page, "lv1"), 0), counts({"u_ex1.log", "0.0K", "0", "1", "0", "0", "0", "0", "0", ""}));
    EXPECT_EQ(child<QTableWidget>(&t.page, "lv1")->rowCount(), 1);
    EXPECT_EQ(child<StatsChartWidget>(&t.page, "chart")->rowCount(), 1);
}

TEST(StatsPage, aMissingFolderOrAnEmptySettingEndsTheRunInOrder)
{
    TempFolder parent;
    // An empty setting searches the root folder: it may list anything there, but must end.
    for (const QString& folder : {QString::fromStdString(parent.file("vanished")), QString()}) {
        PageUnderTest t(folder);
        QTest::mouseClick(child<QPushButton>(&t.page, "Button1"), Qt::LeftButton);
        ASSERT_TRUE(waitForEnd(t.page)) << folder.toStdString();
        if (!folder.isEmpty()) {
            EXPECT_EQ(child<QTableWidget>(&t.page, "lv1")->rowCount(), 0);
        }
    }
}

TEST(StatsPage, rowsEqualTheStatsCommandForTheSameFolder)
{
    LogFolder odd;
    for (const std::string& folder : {odd.path(), std::string(QUILLMARK_SAMPLES_DIR)}) {
        PageUnderTest t(fromPath(folder));
        QTest::mouseClick(child<QPushButton>(&t.page, "Button1"), Qt::LeftButton);
        ASSERT_TRUE(waitForEnd(t.page));
        QByteArray shown;
        for (int row = 0; row < child<QTableWidget>(&t.page, "lv1")->rowCount(); ++row)
            shown += rowTexts(child<QTableWidget>(&t.page, "lv1"), row).join(QLatin1Char('\t')).toUtf8() + '\n';

        const ProcessResult cli = runProcess({QUILLMARK_CLI_PATH, "stats", folder});
        EXPECT_EQ(cli.exitCode, folder == odd.path() ? 1 : 0); // gone.log cannot be counted
        EXPECT_GE(child<QTableWidget>(&t.page, "lv1")->rowCount(), 4);
        EXPECT_EQ(shown.toStdString(), cli.out) << folder;
    }
}

TEST(StatsPage, theWindowCountsTheFolderChosenWithLocateFolder)
{
    TempFolder root;
    LogFolder started;
    TempFolder chosen;
    chosen.write("u_ex2.log", "msnbot\r\nmsnbot\r\n");
    MainWindow::Options options;
    options.settingsPath = root.file("settings.ini");
    options.logFolderForRun = QString::fromStdString(started.path());
    options.chooseFolder = [&](QWidget*) { return std::optional<QString>(QString::fromStdString(chosen.path())); };
    MainWindow form(options);
    form.show();
    // The tab's sheet holds the page and goes by its name.
    ASSERT_TRUE(child<QWidget>(&form, "ts1")->isAncestorOf(child<StatsPage>(&form, "ts1")));
    EXPECT_EQ(child<QTabWidget>(&form, "PageControl")->tabText(child<QTabWidget>(&form, "PageControl")->indexOf(child<QWidget>(&form, "ts1"))), QString::fromUtf8("蜘蛛来访统计"));

    child<QTabWidget>(&form, "PageControl")->setCurrentWidget(child<QWidget>(&form, "ts3"));
    QTest::mouseClick(onPage<QPushButton>(&form, "ts3", "Button4"), Qt::LeftButton); // 定位目录
    child<QTabWidget>(&form, "PageControl")->setCurrentWidget(child<QWidget>(&form, "ts1"));
    QTest::mouseClick(onPage<QPushButton>(&form, "ts1", "Button1"), Qt::LeftButton);
    ASSERT_TRUE(waitForEnd(*child<StatsPage>(&form, "ts1")));
    EXPECT_EQ(columnTexts(onPage<QTableWidget>(&form, "ts1", "lv1"), 0), QStringList{QStringLiteral("u_ex2.log")});
    EXPECT_EQ(onPage<QTableWidget>(&form, "ts1", "lv1")->item(0, 8)->text(), QStringLiteral("2"));
}

TEST(StatsPage, closingTheWindowDuringARunStopsAndWaitsForTheWorker)
{
    TempFolder root;
    TempFolder logs;
    // Files large enough that the run is still going when the first row has been shown.
    std::string day;
    for (int line = 0; day.size() < (size_t(32) << 20); ++line)
        day += iisLine({.stem = "/page" + std::to_string(line) + ".htm", .agent = line % 3 ? "Mozilla/5.0" : "Baiduspider"});
    constexpr int kFiles = 4;
    for (int i = 0; i < kFiles; ++i)
        logs.write("u_ex" + std::to_string(i) + ".log", day);
    MainWindow::Options options;
    options.settingsPath = root.file("settings.ini");
    options.logFolderForRun = QString::fromStdString(logs.path());
    auto form = std::make_unique<MainWindow>(options);
    form->show();
    child<QTabWidget>(form, "PageControl")->setCurrentWidget(child<QWidget>(form, "ts1"));

    QTest::mouseClick(onPage<QPushButton>(form, "ts1", "Button1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return onPage<QTableWidget>(form, "ts1", "lv1")->rowCount() >= 1; }, kRunTimeoutMs));
    const int rowsAtClose = onPage<QTableWidget>(form, "ts1", "lv1")->rowCount();
    EXPECT_TRUE(child<StatsPage>(form, "ts1")->isCounting());
    form->close();
    form.reset(); // waits for the worker, which abandons the file it is counting
    EXPECT_LT(rowsAtClose, kFiles);
    // Whatever the worker posted before it ended runs now against a destroyed page: it must be dropped.
    QTest::qWait(50);
}

TEST(StatsChart, drawsOneGroupPerRowAndNoBarsForARowWithoutCounts)
{
    StatsChartWidget chart;
    chart.resize(420, 220);
    chart.appendRow(QStringLiteral("a.log"), StatisticsCounts{10, 5, 0, 3, 1, 2, 7});
    chart.appendRow(QStringLiteral("gone.log"), std::nullopt);
    chart.appendRow(QStringLiteral("b.log"), StatisticsCounts{4, 4, 4, 4, 4, 4, 4});
    chart.show();
    ASSERT_EQ(chart.rowCount(), 3);

    const QList<QRect> first = chart.barRects(0);
    const QList<QRect> third = chart.barRects(2);
    ASSERT_EQ(first.size(), 7);
    ASSERT_EQ(third.size(), 7);
    EXPECT_TRUE(chart.barRects(1).isEmpty());
    // Bars stand on one base line, in engine order, heights in proportion to the counts.
    EXPECT_EQ(first[0].bottom(), third[6].bottom());
    for (int engine = 1; engine < 7; ++engine)
        EXPECT_GT(first[engine].left(), first[engine - 1].left());
    EXPECT_LT(first[6].right(), third[0].left());
    EXPECT_EQ(first[2].height(), 0);
    EXPECT_NEAR(first[1].height() * 2, first[0].height(), 2);
    EXPECT_NEAR(third[3].height(), first[3].height() * 4 / 3, 2);

    // The picture: each bar in its engine's colour, and none in the middle group.
    const QImage image = chart.grab().toImage();
    for (int engine = 0; engine < 7; ++engine) {
        if (first[engine].height() > 0) {
            EXPECT_EQ(image.pixelColor(first[engine].center()), StatsChartWidget::engineColour(engine)) << engine;
        }
        EXPECT_EQ(image.pixelColor(third[engine].center()), StatsChartWidget::engineColour(engine)) << engine;
    }
    for (int x = first[6].right() + 1; x < third[0].left(); ++x)
        for (int y = third[0].top(); y < third[0].bottom(); ++y)
            for (int engine = 0; engine < 7; ++engine)
                ASSERT_NE(image.pixelColor(x, y), StatsChartWidget::engineColour(engine)) << x << "," << y;

    // Many rows widen the chart beyond its place, and the page's scroll area scrolls sideways.
    const int narrow = chart.minimumSizeHint().width();
    for (int i = 0; i < 40; ++i)
        chart.appendRow(QStringLiteral("more.log"), StatisticsCounts{});
    EXPECT_GT(chart.minimumSizeHint().width(), narrow);
    chart.clear();
    EXPECT_EQ(chart.rowCount(), 0);
}

TEST(StatsPage, aWeekOfLogsFillsTheListAndTheChartAndNothingOverlaps)
{
    TempFolder root;
    TempFolder logs;
    // A week of daily logs with different visitors, and one unreadable entry.
    const char* agents[] = {"Baiduspider", "Googlebot", "Sosospider+", "YoudaoBot", "Yahoo", "Sogou", "msnbot"};
    for (int day = 1; day <= 7; ++day) {
        std::string text = kIis6Header;
        for (int engine = 0; engine < 7; ++engine)
            for (int visit = 0; visit < (engine * 7 + day * 5) % 23 + (engine == 0 ? 20 : 2); ++visit)
                text += iisLine({.stem = "/p" + std::to_string(visit) + ".htm", .agent = agents[engine]});
        logs.write("ex2612" + std::string(day < 10 ? "0" : "") + std::to_string(day) + ".log", text);
    }
    std::filesystem::create_symlink(logs.file("missing"), logs.file("locked.log"));
    MainWindow::Options options;
    options.settingsPath = root.file("settings.ini");
    options.logFolderForRun = QString::fromStdString(logs.path());
    MainWindow form(options);
    form.show();
    child<QTabWidget>(&form, "PageControl")->setCurrentWidget(child<QWidget>(&form, "ts1"));
    QTest::mouseClick(onPage<QPushButton>(&form, "ts1", "Button1"), Qt::LeftButton);
    ASSERT_TRUE(waitForEnd(*child<StatsPage>(&form, "ts1")));
    EXPECT_EQ(onPage<QTableWidget>(&form, "ts1", "lv1")->rowCount(), 8);
    EXPECT_EQ(onPage<StatsChartWidget>(&form, "ts1", "chart")->rowCount(), 8);
    onPage<QTableWidget>(&form, "ts1", "lv1")->selectRow(1);
    EXPECT_EQ(layoutFaults(&form), QStringList());
    screenshot(&form, "stats-page");
}

TEST(StatsPage, saysWhenTheFolderIsMissingOrHoldsNoLogs)
{
    TempFolder folder;
    PageUnderTest missing(QString::fromStdString(folder.file("gone")));
    ASSERT_TRUE(missing.count());
    EXPECT_EQ(missing.message()->text(), u("日志目录不存在: ") + missing.folder);

    PageUnderTest empty(QString::fromStdString(folder.path()));
    ASSERT_TRUE(empty.count());
    EXPECT_EQ(empty.message()->text(), u("日志目录中没有日志文件"));

    folder.write("ex1.log", "Googlebot\r\n");
    ASSERT_TRUE(empty.count());
    EXPECT_EQ(empty.message()->text(), QString());
}

TEST(StatsPage, namesAndSizesShowWholeAtAnyFontSize)
{
    TempFolder folder;
    const std::string longName = "ex20261202_a_very_long_log_file_name_of_the_site.log";
    folder.write(longName, std::string(3 << 20, 'x') + "\r\nBaiduspider\r\n");
    folder.write("ex9.log", "Googlebot\r\n");
    folder.write("ex10.log.gz", "damaged");
    for (int pointSize : {9, 16}) {
        PageUnderTest t(QString::fromStdString(folder.path()), nullptr, pointSize);
        t.page.resize(800, 600);
        ASSERT_TRUE(t.count());
        ASSERT_EQ(t.list()->rowCount(), 3);
        EXPECT_EQ(t.list()->item(0, 0)->text(), u("ex9.log")); // numbers compare as numbers
        EXPECT_EQ(t.list()->item(1, 0)->text(), u("ex10.log.gz"));
        const QFontMetrics cells = t.list()->fontMetrics();
        EXPECT_GE(t.list()->columnWidth(0), cells.horizontalAdvance(QString::fromStdString(longName)));
        EXPECT_GE(t.list()->columnWidth(1), cells.horizontalAdvance(t.list()->item(2, 1)->text()));
        EXPECT_EQ(layoutFaults(&t.page), QStringList()) << pointSize << " pt";
        screenshot(&t.page, pointSize == 9 ? "stats_page_800x600" : "stats_page_16pt");
    }
}

TEST(StatsPage, theTableExportsAsTheCommandPrintsIt)
{
    TempFolder folder;
    folder.write("ex9.log", "Googlebot\r\n");
    folder.write("ex10.log.gz", "damaged");
    PageUnderTest t(QString::fromStdString(folder.path()));
    ASSERT_TRUE(t.count());
    const ProcessResult cli = runProcess({QUILLMARK_CLI_PATH, "stats", "--csv", folder.path()});
    ASSERT_EQ(cli.exitCode, 1); // the damaged ex10.log.gz has its row and no counts
    EXPECT_EQ(cli.out.substr(0, 3), "\xEF\xBB\xBF");
    TempFolder out;
    ASSERT_TRUE(t.exportTo(out.file("stats.csv")));
    EXPECT_EQ(readFile(out.file("stats.csv")), cli.out);
}

TEST(StatsPage, theExportKeepsTheUsersOwnExtensionAndSaysWhere)
{
    TempFolder folder;
    folder.write("u_ex1.log", kIis6Header + iisLine({.agent = "Baiduspider"}) + iisLine({}));
    PageUnderTest t(QString::fromStdString(folder.path()));
    ASSERT_TRUE(t.count());
    ASSERT_TRUE(t.exportTo(folder.file("stats.txt")));
    EXPECT_TRUE(std::filesystem::exists(folder.file("stats.txt")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("stats.txt.csv")));
    EXPECT_EQ(t.message()->text(), u("已导出 1 行到 ") + QString::fromStdString(folder.file("stats.txt")));
}
