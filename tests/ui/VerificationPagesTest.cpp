#include "UiTestSupport.h"
#include "gui/StatsChartWidget.h"
#include "gui/StatsPage.h"
#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "app/MainWindow.h"
#include "platform/CodePage.h"
#include "gui/SettingsPage.h"
#include "support/DnsTestServer.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace quill;
using namespace quill::test;

namespace {

constexpr int kWaitMs = 20000;

std::string visit(const std::string& address, const std::string& agent, const std::string& stem = "/a.htm")
{
    return "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET " + stem + " - 80 - " + address + " " + agent +
           " 200 0 0 1 2 15 -\r\n";
}

// Genuine Google and Baidu crawlers, an impostor whose PTR lies, one without a PTR, and a visitor.
const std::string kLog = kIis6Header + visit("66.249.66.1", "Googlebot/2.1") + visit("10.0.0.2", "Googlebot/2.1") +
                         visit("10.0.0.5", "Mozilla/5.0") + visit("123.125.71.12", "Baiduspider", "/b.htm") +
                         visit("10.0.0.3", "Baiduspider", "/c.htm") + visit("10.0.0.4", "qihoobot");

void fillServer(DnsTestServer& dns)
{
    dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
    dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
    dns.addPtr("10.0.0.2", {"googlebot.com.evil.net"});
    dns.addPtr("123.125.71.12", {"baiduspider-123-125-71-12.crawl.baidu.com"});
    dns.addAddresses("baiduspider-123-125-71-12.crawl.baidu.com", {"123.125.71.12"});
}

VerifierOptions quick(const std::string& server)
{
    VerifierOptions options;
    options.dns.server = server;
    options.dns.timeoutMs = 150;
    return options;
}

QStringList columnTexts(QTableView* view, int column)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

QStringList words(const char* utf8)
{
    return QString::fromUtf8(utf8).split(QLatin1Char('|'));
}

struct LogPageFixture {
    DnsTestServer dns;
    TempFolder folder;
    LogAnalysis analysis;
    LogPage page{analysis};
    QTableView* view = child<QTableView>(&page, "lv2");
    QCheckBox* verifyBox = child<QCheckBox>(&page, "CheckBoxVerify");
    QLabel* progress = child<QLabel>(&page, "LabelVerify");

    LogPageFixture()
    {
        fillServer(dns);
        folder.write("u_ex1.log", kLog);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.setVerdictCachePath(folder.file("cache.txt"));
        page.setVerifierOptions(quick(dns.address()));
        page.listLogFiles(true);
        page.resize(1100, 360);
        page.show();
    }
    void reload() { QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton); }
};

} // namespace

TEST(VerificationPages, logPageWithTheBoxOffAsksNothingAndShowsNoColumn)
{
    LogPageFixture f;
    f.reload();
    QApplication::processEvents();
    EXPECT_EQ(f.view->model()->rowCount(), 6);
    EXPECT_TRUE(f.view->isColumnHidden(LogRecordModel::kVerdictColumn));
    EXPECT_FALSE(f.page.isVerifying());
    EXPECT_FALSE(child<QCheckBox>(&f.page, "CheckBoxFakes")->isEnabled());
    EXPECT_EQ(f.dns.queriesReceived(), 0u);
}

TEST(VerificationPages, logPageShowsVerdictsFiltersFakesAndSortsTheColumn)
{
    LogPageFixture f;
    QAbstractItemModelTester tester(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    f.reload();
    f.verifyBox->click(); // on with a file loaded: its crawlers are checked now
    EXPECT_FALSE(f.view->isColumnHidden(LogRecordModel::kVerdictColumn));
    EXPECT_EQ(f.page.model()->headerData(LogRecordModel::kVerdictColumn, Qt::Horizontal).toString(),
              QString::fromUtf8("验证"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_EQ(f.progress->text(), QString::fromUtf8("验证 5/5"));
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("已验证|伪装||已验证|伪装|无法验证"));
    f.view->scrollTo(f.view->model()->index(0, LogRecordModel::kVerdictColumn));
    screenshot(&f.page, "log_page_verdicts");

    // a reload with the box on checks again, from the cache file this time
    const size_t asked = f.dns.queriesReceived();
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("已验证|伪装||已验证|伪装|无法验证"));
    EXPECT_EQ(f.dns.queriesReceived(), asked); // 已验证 and 伪装 alike came from the file
}

TEST(VerificationPages, onlyFakesKeepsTheFakeRowsInEveryOrder)
{
    LogPageFixture f;
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    child<QCheckBox>(&f.page, "CheckBoxFakes")->click();
    EXPECT_EQ(columnTexts(f.view, 7), (QStringList{QStringLiteral("10.0.0.2"), QStringLiteral("10.0.0.3")}));
    EXPECT_EQ(columnTexts(f.view, 0), (QStringList{QStringLiteral("0"), QStringLiteral("1")}));
    clickHeader(f.view->horizontalHeader(), 1); // descending by url: /c.htm before /a.htm
    EXPECT_EQ(columnTexts(f.view, 7), (QStringList{QStringLiteral("10.0.0.3"), QStringLiteral("10.0.0.2")}));
    f.view->selectRow(0);
    EXPECT_EQ(f.page.selectedClientAddress(), "10.0.0.3"); // the shown row, not the store's first
    f.view->scrollTo(f.view->model()->index(0, LogRecordModel::kVerdictColumn));
    screenshot(&f.page, "log_page_only_fakes");
    EXPECT_EQ(f.view->horizontalHeader()->sortIndicatorSection(), 1);

    // The export writes the list as it stands: only the fakes, numbered as shown, with verdicts.
    const std::string csvPath = f.folder.file("fakes.csv");
    f.page.chooseCsvPath = [&] { return QString::fromStdString(csvPath); };
    f.page.exportCsv();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isExporting(), kWaitMs);
    const std::string csv = readFile(csvPath);
    ASSERT_NE(csv.find("\r\n"), std::string::npos);
    EXPECT_TRUE(csv.substr(0, csv.find("\r\n")).ends_with(",来源页,验证")) << csv;
    EXPECT_NE(csv.find("\r\n0,/c.htm,"), std::string::npos) << csv;
    EXPECT_NE(csv.find(",10.0.0.3,"), std::string::npos) << csv;
    EXPECT_NE(csv.find("\r\n1,/a.htm,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("66.249.66.1"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);
    EXPECT_TRUE(csv.ends_with(",伪装\r\n")) << csv;

    child<QCheckBox>(&f.page, "CheckBoxFakes")->click();
    clickHeader(f.view->horizontalHeader(), LogRecordModel::kVerdictColumn); // ascending now: by GBK bytes
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("|伪装|伪装|无法验证|已验证|已验证"));
    EXPECT_EQ(f.view->horizontalHeader()->sortIndicatorSection(), LogRecordModel::kVerdictColumn);
    EXPECT_EQ(f.view->horizontalHeader()->sortIndicatorOrder(), Qt::AscendingOrder);

    f.verifyBox->click(); // off: column, filter and verdicts go
    EXPECT_TRUE(f.view->isColumnHidden(LogRecordModel::kVerdictColumn));
    EXPECT_EQ(f.view->model()->rowCount(), 6);
    EXPECT_TRUE(f.page.model()->verdicts().empty());
}

TEST(VerificationPages, cancelKeepsTheWindowAliveAndEndsTheCheck)
{
    LogPageFixture f;
    f.dns.setDelay(std::chrono::milliseconds(400));
    VerifierOptions slow = quick(f.dns.address());
    slow.dns.timeoutMs = 3000;
    f.page.setVerifierOptions(slow);
    f.page.setVerificationBoxes(true, false);
    f.reload();
    ASSERT_TRUE(f.page.isVerifying());
    auto* cancel = child<QPushButton>(&f.page, "ButtonCancelVerify");
    EXPECT_TRUE(cancel->isVisible());
    EXPECT_TRUE(f.progress->text().startsWith(QString::fromUtf8("验证 "))) << f.progress->text().toStdString();
    cancel->click();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(f.view->model()->rowCount(), 6);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn).count(QString::fromUtf8("已验证")), 0);
}

TEST(VerificationPages, noReachableDnsEndsWithUnknownVerdicts)
{
    LogPageFixture f;
    f.page.setVerifierOptions(quick("127.0.0.1:" + std::to_string(closedUdpPort())));
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("未知|未知||未知|未知|无法验证"));
}

TEST(VerificationPages, aServerThatStopsAnsweringIsSaidOnBothPages)
{
    std::string manyVisits = kIis6Header;
    for (int i = 0; i < 300; ++i)
        manyVisits += visit("10.8." + std::to_string(i / 250) + "." + std::to_string(i % 250), "Baiduspider");
    const QString said = QString::fromUtf8("DNS 服务器没有回答");

    LogPageFixture f;
    f.dns.dropAfterReplies(1);
    f.folder.write("u_ex1.log", manyVisits);
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_TRUE(f.progress->text().startsWith(said)) << f.progress->text().toStdString();
    EXPECT_EQ(f.progress->textFormat(), Qt::PlainText);

    // The statistics ask the silent server for the first file only.
    DnsTestServer dns;
    dns.dropAfterReplies(1);
    TempFolder folder;
    folder.write("ex261201.log", manyVisits);
    folder.write("ex261202.log", manyVisits);
    StatsPage page([&] { return QString::fromStdString(folder.path()); });
    page.setVerifierOptions(quick(dns.address()));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.show();
    child<QCheckBox>(&page, "CheckBoxVerified")->click();
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isCounting(), kWaitMs);
    const size_t asked = dns.queriesReceived();
    EXPECT_LE(asked, 2 * 3 * 64u);
    EXPECT_TRUE(child<QLabel>(&page, "message")->text().startsWith(said));
    EXPECT_EQ(child<QTableWidget>(&page, "lv1")->rowCount(), 4);
    screenshot(&page, "stats-page-dns-silent");
}

TEST(VerificationPages, statisticsCountOnlyVerifiedWithFakesInASecondRow)
{
    DnsTestServer dns;
    fillServer(dns);
    TempFolder folder;
    folder.write("ex261201.log", kLog + visit("66.249.66.1", "Googlebot/2.1"));
    folder.write("ex261202.log", kIis6Header + visit("10.0.0.2", "Googlebot/2.1") + visit("10.0.0.2", "Googlebot/2.1") +
                                     visit("123.125.71.12", "Baiduspider"));
    StatsPage page([&] { return QString::fromStdString(folder.path()); });
    page.setVerifierOptions(quick(dns.address()));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.resize(760, 520);
    page.show();
    child<QCheckBox>(&page, "CheckBoxVerified")->click();
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isCounting(), kWaitMs);

    auto* list = child<QTableWidget>(&page, "lv1");
    ASSERT_EQ(list->rowCount(), 4);
    std::map<QString, QStringList> rows;
    for (int row = 0; row < 4; ++row) {
        QStringList cells;
        for (int column = 1; column < 9; ++column)
            cells << list->item(row, column)->text();
        rows[list->item(row, 0)->text() + QLatin1Char('/') + cells.front()] = cells.mid(1);
    }
    // columns 百度, GOOGlE, Soso, 有道, 雅虎, Sogou, MSN
    const QString fake = QString::fromUtf8("伪装");
    EXPECT_EQ(rows[QStringLiteral("ex261201.log/") + fake], words("1|1|0|0|0|0|0"));
    EXPECT_EQ(rows[QStringLiteral("ex261202.log/") + fake], words("0|2|0|0|0|0|0"));
    for (const auto& [key, cells] : rows) {
        if (!key.endsWith(fake)) {
            EXPECT_EQ(cells, key.startsWith(QStringLiteral("ex261201")) ? words("1|2|0|0|0|0|0") : words("1|0|0|0|0|0|0"))
                << key.toStdString();
        }
    }

    auto* chart = child<StatsChartWidget>(&page, "chart");
    ASSERT_EQ(chart->rowCount(), 4);
    EXPECT_FALSE(chart->isFakes(0));
    EXPECT_TRUE(chart->isFakes(1));
    screenshot(&page, "stats_page_real_and_fake");
}

TEST(VerificationPages, boxesComeFromTheSettingsFileAndAreSavedWithTheOthers)
{
    TempFolder folder;
    const std::string settings = folder.write("settings.ini", "[" + gbk("验证") + "]\r\n" + gbk("验证蜘蛛") + "=1\r\n" +
                                                                  gbk("只计已验证") + "=1\r\n");
    MainWindow::Options options;
    options.settingsPath = settings;
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    options.chooseFolder = [](QWidget*) { return std::optional<QString>(); };
    {
        MainWindow form(options);
        form.show();
        auto* logPage = child<LogPage>(&form, "ts2");
        EXPECT_TRUE(child<QCheckBox>(logPage, "CheckBoxVerify")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(logPage, "CheckBoxFakes")->isEnabled());
        EXPECT_FALSE(child<QCheckBox>(logPage, "CheckBoxFakes")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(&form, "CheckBoxVerified")->isChecked());
        EXPECT_FALSE(logPage->isVerifying()); // nothing is loaded yet, so nothing is asked

        child<QCheckBox>(logPage, "CheckBoxFakes")->click();
        child<QCheckBox>(&form, "CheckBoxVerified")->click();
        child<QPushButton>(child<SettingsPage>(&form, "ts3"), "Button3")->click(); // "保存配制"
    }
    const Settings saved = SettingsFile(settings).load(Settings{});
    EXPECT_TRUE(saved.verification.verifyCrawlers);
    EXPECT_TRUE(saved.verification.onlyFakes);
    EXPECT_FALSE(saved.verification.onlyVerified);
    EXPECT_EQ(saved.verification.cacheFileName, gbk("蜘蛛验证.txt"));
}
