#include "UiTestSupport.h"
#include "../ledger/LedgerTestSupport.h"
#include "gui/LedgerPage.h"
#include "gui/LedgerTableModel.h"
#include "gui/StackedBarsWidget.h"

#include <QAbstractItemModelTester>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::vector<Visit> daysOfVisits()
{
    std::vector<Visit> visits;
    const char* days[] = {"2026-11-28", "2026-11-29", "2026-11-30", "2026-12-01", "2026-12-02"};
    for (int d = 0; d < 5; ++d) {
        for (int i = 0; i < 6 + 3 * d; ++i) {
            Visit v;
            v.day = days[d];
            v.time = (i % 2 ? "03:" : "15:") + std::string("30:00");
            v.path = i % 3 == 0 ? "/news/" + std::to_string(i) + ".htm" : "/item/" + std::to_string(d) + ".htm";
            v.agent = i % 4 == 0 ? kGoogleAgent : kBaiduAgent;
            v.status = i % 5 == 0 ? 404 : 200;
            visits.push_back(v);
        }
    }
    return visits;
}

struct Page {
    TempFolder folder;
    QStringList chosenLogs;
    QString csvPath;
    QString reportPath;
    std::unique_ptr<LedgerPage> page;

    Page()
    {
        LedgerPage::Options options;
        options.chooseLogs = [this](QWidget*, const QString&) { return chosenLogs; };
        options.chooseCsvPath = [this](QWidget*, const QString&) { return csvPath; };
        options.chooseReportPath = [this](QWidget*, const QString&) { return reportPath; };
        page = std::make_unique<LedgerPage>(std::move(options));
        page->setLedgerPath(folder.file("ledger.db"));
        page->resize(960, 680);
        page->show();
        settle();
    }
    void settle() { ASSERT_TRUE(waitUntil([&] { return !page->isAdding() && !page->isQuerying() && !page->isReporting(); })); }
    template <typename T>
    T* control(const char* name) { return child<T>(page.get(), name); }
    QTableView* urls() { return control<QTableView>("urls"); }
    QString message() { return control<QLabel>("message")->text(); }
    QString cell(QTableView* view, int row, int column)
    {
        return view->model()->index(row, column).data().toString();
    }
    void add(QStringList logs)
    {
        chosenLogs = std::move(logs);
        QTest::mouseClick(control<QPushButton>("addLogs"), Qt::LeftButton);
        settle();
    }
};

TEST(LedgerPage, addsLogsAndShowsWhatTheCrawlersDidOverTheChosenRange)
{
    Page p;
    EXPECT_EQ(p.message(), QString::fromUtf8("抓取档案还不存在，请先添加日志: ") + QString::fromStdString(p.folder.file("ledger.db")));
    const std::vector<Visit> visits = daysOfVisits();
    p.add({QString::fromStdString(p.folder.write("a.log", iis6Log({visits.begin(), visits.begin() + 15}))),
           QString::fromStdString(p.folder.write("b.log", iis6Log({visits.begin() + 15, visits.end()})))});
    EXPECT_EQ(p.message(), QString::fromUtf8("2026-11-28 至 2026-12-02，共 11 个URL"));
    QAbstractItemModelTester tester(p.urls()->model(), QAbstractItemModelTester::FailureReportingMode::Warning);
    EXPECT_EQ(p.urls()->model()->rowCount(), 11);
    EXPECT_EQ(p.urls()->model()->headerData(1, Qt::Horizontal).toString(), QString::fromUtf8("百度"));
    EXPECT_EQ(p.control<StackedBarsWidget>("histogram")->barCount(), 5);
    screenshot(p.page.get(), "ledger_page_urls");

    // A drag across the histogram's last two bars chooses their days.
    auto* histogram = p.control<StackedBarsWidget>("histogram");
    QTest::mousePress(histogram, Qt::LeftButton, {}, histogram->barSlot(3).center());
    QTest::mouseMove(histogram, histogram->barSlot(4).center());
    QTest::mouseRelease(histogram, Qt::LeftButton, {}, histogram->barSlot(4).center());
    p.settle();
    EXPECT_EQ(p.page->range().from, 20261201);
    EXPECT_EQ(p.page->range().to, 20261202);
    EXPECT_EQ(p.control<QDateEdit>("fromDate")->date(), QDate(2026, 12, 1));
    const int inRange = p.urls()->model()->rowCount();
    EXPECT_EQ(inRange, 2 + 6); // the two days' items and the news pages crawled on them

    // The date boxes, from the keyboard.
    auto* from = p.control<QDateEdit>("fromDate");
    from->setDate(QDate(2026, 11, 28));
    emit from->editingFinished();
    p.settle();
    EXPECT_EQ(p.page->range().from, 20261128);

    // One crawler only.
    auto* crawler = p.control<QComboBox>("crawler");
    const int google = crawler->findText(QStringLiteral("Google"));
    ASSERT_GT(google, 0);
    crawler->setCurrentIndex(google);
    emit crawler->activated(google);
    p.settle();
    EXPECT_EQ(p.urls()->model()->columnCount(), 12); // URL, Google, 合计 ...
    for (int row = 0; row < p.urls()->model()->rowCount(); ++row)
        EXPECT_EQ(p.cell(p.urls(), row, 1), p.cell(p.urls(), row, 2));

    // Search, then sort by a click on "合计".
    crawler->setCurrentIndex(0);
    emit crawler->activated(0);
    p.settle();
    QTest::keyClicks(p.control<QLineEdit>("search"), QStringLiteral("NEWS"));
    EXPECT_EQ(p.urls()->model()->rowCount(), 6);
    clickHeader(p.urls()->horizontalHeader(), 3);
    EXPECT_EQ(p.urls()->horizontalHeader()->sortIndicatorSection(), 3);
    const bool descending = p.urls()->horizontalHeader()->sortIndicatorOrder() == Qt::DescendingOrder;
    for (int row = 1; row < 6; ++row) {
        const int before = p.cell(p.urls(), row - 1, 3).toInt(), now = p.cell(p.urls(), row, 3).toInt();
        EXPECT_TRUE(descending ? before >= now : before <= now) << row;
    }
    screenshot(p.page.get(), "ledger_page_search");

    // Each view's tab, for a person to look at.
    auto* tabs = p.control<QTabWidget>("views");
    for (int tab = 1; tab < tabs->count(); ++tab) {
        tabs->setCurrentIndex(tab);
        screenshot(p.page.get(), ("ledger_page_tab" + std::to_string(tab)).c_str());
    }
    tabs->setCurrentIndex(2);
    EXPECT_GT(p.control<QTableView>("status")->model()->rowCount(), 0);
    EXPECT_GT(p.control<StackedBarsWidget>("statusChart")->barCount(), 0);
    EXPECT_EQ(p.control<StackedBarsWidget>("hoursChart")->barCount(), 24);

    // The list as shown goes to CSV.
    tabs->setCurrentIndex(0);
    p.csvPath = QString::fromStdString(p.folder.file("urls.csv"));
    QTest::mouseClick(p.control<QPushButton>("exportCsv"), Qt::LeftButton);
    ASSERT_TRUE(waitUntil([&] { return p.control<QPushButton>("exportCsv")->isEnabled(); }));
    const std::string csv = readFile(p.csvPath.toStdString());
    EXPECT_EQ(csv.substr(0, 3 + 4), "\xEF\xBB\xBFURL,");
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 1 + 6); // the rows the search left

    // The sitemap against what was crawled.
    tabs->setCurrentIndex(5);
    p.control<QLineEdit>("sitemap")->setText(
        QString::fromStdString(p.folder.write("sitemap.txt", "http://s/news/0.htm\nhttp://s/never.htm\n")));
    QTest::mouseClick(p.control<QPushButton>("compareSitemap"), Qt::LeftButton);
    p.settle();
    auto* uncrawled = p.control<QTableView>("uncrawled");
    ASSERT_GT(uncrawled->model()->rowCount(), 1);
    EXPECT_EQ(p.cell(uncrawled, 0, 1), QStringLiteral("http://s/never.htm"));
    screenshot(p.page.get(), "ledger_page_sitemap");

    // Adding the same logs again adds nothing.
    p.add({QString::fromStdString(p.folder.file("a.log"))});
    EXPECT_EQ(p.message(), QString::fromUtf8("2026-11-28 至 2026-12-02，共 11 个URL"));
}

TEST(LedgerPage, aFileThatIsNoLedgerIsSaidAndThePageKeepsWorking)
{
    MessageBoxes boxes;
    Page p;
    const std::string notLedger = p.folder.write("notes.db", std::string(4096, 'x'));
    p.page->setLedgerPath(notLedger);
    p.settle();
    EXPECT_TRUE(p.message().startsWith(QString::fromUtf8("这不是抓取档案文件"))) << p.message().toStdString();
    p.add({QString::fromStdString(p.folder.write("a.log", iis6Log(daysOfVisits())))});
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(QString::fromUtf8("这不是抓取档案文件")));
    EXPECT_EQ(readFile(notLedger), std::string(4096, 'x'));
    EXPECT_TRUE(p.control<QPushButton>("addLogs")->isEnabled());
}

// "生成报告" writes the chosen range as one page to share, and says where.
TEST(LedgerPage, makesAReportOfTheChosenRange)
{
    Page p;
    p.add({QString::fromStdString(p.folder.write("a.log", iis6Log(daysOfVisits())))});
    p.page->setRange({20261129, 20261201});
    p.settle();
    p.reportPath = QString::fromStdString(p.folder.file("report.html"));
    QTest::mouseClick(p.control<QPushButton>("makeReport"), Qt::LeftButton);
    p.settle();
    EXPECT_EQ(p.message(), QString::fromUtf8("报告已写入 ") + p.reportPath);
    const std::string html = readFile(p.folder.file("report.html"));
    EXPECT_NE(html.find("2026-11-29 至 2026-12-01"), std::string::npos);
    screenshot(p.page.get(), "ledger_page_report");

    // A folder that cannot take the file: said, and the page goes on.
    MessageBoxes boxes;
    p.reportPath = QString::fromStdString(p.folder.file("missing/report.html"));
    QTest::mouseClick(p.control<QPushButton>("makeReport"), Qt::LeftButton);
    p.settle();
    EXPECT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(p.control<QPushButton>("makeReport")->isEnabled());
}

} // namespace
