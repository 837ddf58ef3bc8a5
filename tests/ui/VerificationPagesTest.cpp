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
    return iisLine({.stem = stem, .client = address, .agent = agent});
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

// The log page over kLog, its crawler checks asking `dns`; `verifier` may change how.
struct LogPageFixture {
    DnsTestServer dns;
    TempFolder folder;
    LogAnalysis analysis;
    std::string csvPath = folder.file("list.csv");
    LogPage page;
    QTableView* view = child<QTableView>(&page, "lv2");
    QCheckBox* verifyBox = child<QCheckBox>(&page, "CheckBoxVerify");
    QLabel* progress = child<QLabel>(&page, "LabelVerify");

    explicit LogPageFixture(const std::function<void(DnsTestServer& dns, VerifierOptions& verifier)>& verifier = {})
        : page(analysis, options(verifier))
    {
        folder.write("u_ex1.log", kLog);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.setVerdictCachePath(folder.file("cache.txt"));
        page.listLogFiles(true);
        page.resize(1100, 360);
        page.show();
    }
    void reload() { QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton); }
    LogPage::Options options(const std::function<void(DnsTestServer&, VerifierOptions&)>& verifier)
    {
        fillServer(dns);
        LogPage::Options options;
        options.verifier = quick(dns.address());
        if (verifier)
            verifier(dns, *options.verifier);
        options.chooseCsvPath = [this](QWidget*, const QString&) { return QString::fromStdString(csvPath); };
        return options;
    }
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
    f.csvPath = f.folder.file("fakes.csv");
    f.page.exportCsv();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isExporting(), kWaitMs);
    const std::string csv = readFile(f.csvPath);
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
    LogPageFixture f([](DnsTestServer& dns, VerifierOptions& slow) {
        dns.setDelay(std::chrono::milliseconds(400));
        slow.dns.timeoutMs = 3000;
    });
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
    LogPageFixture f([](DnsTestServer&, VerifierOptions& unreachable) {
        unreachable = quick("127.0.0.1:" + std::to_string(closedUdpPort()));
    });
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kWaitMs);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("未知|未知||未知|未知|无法验证"));
    // Refused at once, and then silent: said in words either way.
    EXPECT_EQ(f.progress->text(), QString::fromUtf8("DNS 无法连接：4 个地址未验证"));

    LogPageFixture silent([](DnsTestServer& dns, VerifierOptions&) { dns.dropAfterReplies(0); });
    silent.page.setVerificationBoxes(true, false);
    silent.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!silent.page.isVerifying(), kWaitMs);
    EXPECT_GT(silent.dns.queriesReceived(), 0u);
    EXPECT_EQ(silent.progress->text(), QString::fromUtf8("DNS 无法连接：4 个地址未验证"));
    screenshot(&silent.page, "log-page-dns-silent");
}

TEST(VerificationPages, aServerThatStopsAnsweringIsSaidOnBothPages)
{
    std::string manyVisits = kIis6Header;
    for (int i = 0; i < 300; ++i)
        manyVisits += visit("10.8." + std::to_string(i / 250) + "." + std::to_string(i % 250), "Baiduspider");
    const QString said = QString::fromUtf8("DNS 无法连接：");

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
    StatsPage::Options options;
    options.logFolder = [&] { return QString::fromStdString(folder.path()); };
    options.verifier = quick(dns.address());
    StatsPage page(std::move(options));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.show();
    child<QCheckBox>(&page, "CheckBoxVerified")->click();
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    QStringList progress; // what the message line said while the count ran
    ASSERT_TRUE(waitUntil(
        [&] {
            const QString text = child<QLabel>(&page, "message")->text();
            if (!text.isEmpty() && (progress.isEmpty() || progress.back() != text))
                progress << text;
            return !page.isCounting();
        },
        kWaitMs));
    EXPECT_TRUE(progress.front().startsWith(QString::fromUtf8("文件 1/2"))) << progress.join(QLatin1Char('|')).toStdString();
    const size_t asked = dns.queriesReceived();
    EXPECT_LE(asked, 2 * 3 * 64u);
    EXPECT_TRUE(child<QLabel>(&page, "message")->text().startsWith(said));
    // Each file: its verified, fake and undecided visits, which add up to every Baidu visit.
    auto* list = child<QTableWidget>(&page, "lv1");
    ASSERT_EQ(list->rowCount(), 6);
    for (int file = 0; file < 2; ++file) {
        int baidu = 0;
        for (int group = 0; group < 3; ++group)
            baidu += list->item(file * 3 + group, 3)->text().toInt();
        EXPECT_EQ(baidu, 300);
        EXPECT_EQ(list->item(file * 3 + 2, 2)->text(), QString::fromUtf8("未验证"));
        EXPECT_GT(list->item(file * 3 + 2, 3)->text().toInt(), 0) << "a file that was not checked never reads 0";
    }
    screenshot(&page, "stats-page-dns-silent");
}

TEST(VerificationPages, statisticsCountVerifiedFakeAndUncheckedVisitsInAColumnOfTheirOwn)
{
    DnsTestServer dns;
    fillServer(dns);
    TempFolder folder;
    folder.write("ex261201.log", kLog + visit("66.249.66.1", "Googlebot/2.1"));
    folder.write("ex261202.log", kIis6Header + visit("10.0.0.2", "Googlebot/2.1") + visit("10.0.0.2", "Googlebot/2.1") +
                                     visit("123.125.71.12", "Baiduspider"));
    StatsPage::Options options;
    options.logFolder = [&] { return QString::fromStdString(folder.path()); };
    options.verifier = quick(dns.address());
    options.chooseCsvPath = [&](QWidget*, const QString&) { return QString::fromStdString(folder.file("verified.csv")); };
    StatsPage page(std::move(options));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.resize(760, 520);
    page.show();
    child<QCheckBox>(&page, "CheckBoxVerified")->click();
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isCounting(), kWaitMs);

    auto* list = child<QTableWidget>(&page, "lv1");
    ASSERT_EQ(list->rowCount(), 6);
    std::map<QString, QStringList> rows;
    for (int row = 0; row < 6; ++row) {
        QStringList cells;
        for (int column = 1; column < 10; ++column)
            cells << list->item(row, column)->text();
        rows[list->item(row, 0)->text() + QLatin1Char('/') + cells[1]] = cells.mid(2);
    }
    // The group in its own column, the size in its own; columns 百度, GOOGlE, Soso, 有道, 雅虎, Sogou, MSN
    EXPECT_EQ(list->horizontalHeaderItem(2)->text(), QString::fromUtf8("验证"));
    EXPECT_EQ(list->item(1, 1)->text(), list->item(0, 1)->text());
    const std::map<QString, QStringList> expected = {
        {QString::fromUtf8("ex261201.log/已验证"), words("1|2|0|0|0|0|0")},
        {QString::fromUtf8("ex261201.log/伪装"), words("1|1|0|0|0|0|0")},
        {QString::fromUtf8("ex261201.log/未验证"), words("0|0|0|0|0|0|0")},
        {QString::fromUtf8("ex261202.log/已验证"), words("1|0|0|0|0|0|0")},
        {QString::fromUtf8("ex261202.log/伪装"), words("0|2|0|0|0|0|0")},
        {QString::fromUtf8("ex261202.log/未验证"), words("0|0|0|0|0|0|0")},
    };
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(child<QLabel>(&page, "message")->text(), QString()) << "every address was checked";

    // The export is the command line's table: one line per file, the groups side by side.
    QTest::mouseClick(child<QPushButton>(&page, "exportCsv"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&page, "exportCsv")->isEnabled(); }, kWaitMs));
    const std::string csv = readFile(folder.file("verified.csv"));
    EXPECT_TRUE(csv.starts_with("\xEF\xBB\xBF日志文件名,大小,百度 已验证,")) << csv;
    EXPECT_NE(csv.find("ex261202.log,"), std::string::npos) << csv;
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 3);

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
        onPage<QPushButton>(&form, "ts3", "Button3")->click(); // "保存配制"
    }
    const Settings saved = SettingsFile(settings).load(Settings{});
    EXPECT_TRUE(saved.verification.verifyCrawlers);
    EXPECT_TRUE(saved.verification.onlyFakes);
    EXPECT_FALSE(saved.verification.onlyVerified);
    EXPECT_EQ(saved.verification.cacheFileName, gbk("蜘蛛验证.txt"));
}
