// The crawler check on the log page: the verdict column, "只看伪装", the progress line, a stop
// and a DNS server that cannot be reached or stops answering.
#include "gui/LogPage.h"

#include "UiTestSupport.h"
#include "VerificationFixtures.h"
#include "gui/LogRecordModel.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>

using namespace quill;
using namespace quill::test;

namespace {

// The log page over kVerificationLog, its crawler checks asking `dns`; `verifier` may change how.
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
        folder.write("u_ex1.log", kVerificationLog);
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
        options.verifier = quickVerifier(dns.address());
        if (verifier)
            verifier(dns, *options.verifier);
        options.chooseCsvPath = [this](QWidget*, const QString&) { return QString::fromStdString(csvPath); };
        return options;
    }
};

} // namespace

TEST(LogPageVerification, withTheBoxOffAsksNothingAndShowsNoColumn)
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

TEST(LogPageVerification, showsVerdictsFiltersFakesAndSortsTheColumn)
{
    LogPageFixture f;
    QAbstractItemModelTester tester(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    f.reload();
    f.verifyBox->click(); // on with a file loaded: its crawlers are checked now
    EXPECT_FALSE(f.view->isColumnHidden(LogRecordModel::kVerdictColumn));
    EXPECT_EQ(f.page.model()->headerData(LogRecordModel::kVerdictColumn, Qt::Horizontal).toString(),
              QString::fromUtf8("验证"));
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    EXPECT_EQ(f.progress->text(), QString::fromUtf8("验证 5/5"));
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("已验证|伪装||已验证|伪装|无法验证"));
    f.view->scrollTo(f.view->model()->index(0, LogRecordModel::kVerdictColumn));
    screenshot(&f.page, "log_page_verdicts");

    // a reload with the box on checks again, from the cache file this time
    const size_t asked = f.dns.queriesReceived();
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("已验证|伪装||已验证|伪装|无法验证"));
    EXPECT_EQ(f.dns.queriesReceived(), asked); // 已验证 and 伪装 alike came from the file
}

TEST(LogPageVerification, onlyFakesKeepsTheFakeRowsInEveryOrder)
{
    LogPageFixture f;
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
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
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isExporting(), kVerifyWaitMs);
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

TEST(LogPageVerification, cancelKeepsTheWindowAliveAndEndsTheCheck)
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
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    EXPECT_FALSE(cancel->isVisible());
    EXPECT_EQ(f.view->model()->rowCount(), 6);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn).count(QString::fromUtf8("已验证")), 0);
}

TEST(LogPageVerification, noReachableDnsEndsWithUnknownVerdicts)
{
    LogPageFixture f([](DnsTestServer&, VerifierOptions& unreachable) {
        unreachable = quickVerifier("127.0.0.1:" + std::to_string(closedUdpPort()));
    });
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    EXPECT_EQ(columnTexts(f.view, LogRecordModel::kVerdictColumn), words("未知|未知||未知|未知|无法验证"));
    // Refused at once, and then silent: said in words either way.
    EXPECT_EQ(f.progress->text(), QString::fromUtf8("DNS 无法连接：4 个地址未验证"));

    LogPageFixture silent([](DnsTestServer& dns, VerifierOptions&) { dns.dropAfterReplies(0); });
    silent.page.setVerificationBoxes(true, false);
    silent.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!silent.page.isVerifying(), kVerifyWaitMs);
    EXPECT_GT(silent.dns.queriesReceived(), 0u);
    EXPECT_EQ(silent.progress->text(), QString::fromUtf8("DNS 无法连接：4 个地址未验证"));
    screenshot(&silent.page, "log-page-dns-silent");
}

TEST(LogPageVerification, aServerThatStopsAnsweringIsSaid)
{
    const QString said = QString::fromUtf8("DNS 无法连接：");

    LogPageFixture f;
    f.dns.dropAfterReplies(1);
    f.folder.write("u_ex1.log", manyBaiduVisits());
    f.page.setVerificationBoxes(true, false);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    EXPECT_TRUE(f.progress->text().startsWith(said)) << f.progress->text().toStdString();
    EXPECT_EQ(f.progress->textFormat(), Qt::PlainText);
}

TEST(LogPageVerification, theSummaryCountsTheRowsShownWithAndWithoutOnlyFakes)
{
    LogPageFixture f;
    f.folder.write("u_ex1.log", kIis6Header + verifiedVisit("66.249.66.1", "Googlebot/2.1") +
                                    verifiedVisit("10.0.0.2", "Googlebot/2.1") + verifiedVisit("10.0.0.5", "Mozilla/5.0"));
    f.page.setVerificationBoxes(true, true);
    f.reload();
    QTRY_VERIFY_WITH_TIMEOUT(!f.page.isVerifying(), kVerifyWaitMs);
    auto* summary = child<QLabel>(&f.page, "Label4");
    auto* onlyFakes = child<QCheckBox>(&f.page, "CheckBoxFakes");
    EXPECT_EQ(f.view->model()->rowCount(), 1);
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 1条记录 (只看伪装, 全部 3条)"))) << summary->text().toStdString();
    screenshot(&f.page, "log-page-only-fakes-count");

    onlyFakes->click();
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 3条记录"))) << summary->text().toStdString();
    onlyFakes->click();
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("(只看伪装, 全部 3条)")));
    f.verifyBox->click(); // the check off: every row again
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 3条记录")));
}
