#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "gui/LogPage.h"
#include "gui/SettingsPage.h"
#include "gui/StatsPage.h"
#include "support/DnsTestServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string visit(const std::string& address, const std::string& agent)
{
    return iisLine({.stem = "/a.htm", .client = address, .agent = agent, .bytesSent = "1", .bytesReceived = "2"});
}

} // namespace

TEST(ShownCount, theSummaryCountsTheRowsShownWithAndWithoutOnlyFakes)
{
    DnsTestServer dns;
    dns.addPtr("10.0.0.2", {"googlebot.com.evil.net"});
    dns.addPtr("66.249.66.1", {"crawl-66-249-66-1.googlebot.com"});
    dns.addAddresses("crawl-66-249-66-1.googlebot.com", {"66.249.66.1"});
    TempFolder folder;
    folder.write("u_ex1.log", kIis6Header + visit("66.249.66.1", "Googlebot/2.1") + visit("10.0.0.2", "Googlebot/2.1") +
                                  visit("10.0.0.5", "Mozilla/5.0"));
    LogAnalysis analysis;
    LogPage::Options options;
    options.verifier.emplace();
    options.verifier->dns.server = dns.address();
    options.verifier->dns.timeoutMs = 150;
    LogPage page(analysis, std::move(options));
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.listLogFiles(true);
    page.resize(1000, 400);
    page.show();
    page.setVerificationBoxes(true, true);
    QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isVerifying(), 20000);
    auto* summary = child<QLabel>(&page, "Label4");
    EXPECT_EQ(child<QTableView>(&page, "lv2")->model()->rowCount(), 1);
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 1条记录 (只看伪装, 全部 3条)"))) << summary->text().toStdString();
    screenshot(&page, "log-page-only-fakes-count");

    child<QCheckBox>(&page, "CheckBoxFakes")->click();
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 3条记录"))) << summary->text().toStdString();
    child<QCheckBox>(&page, "CheckBoxFakes")->click();
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("(只看伪装, 全部 3条)")));
    child<QCheckBox>(&page, "CheckBoxVerify")->click(); // the check off: every row again
    EXPECT_TRUE(summary->text().endsWith(QStringLiteral("共有 3条记录")));
}

TEST(CsvExportName, aNameWithoutExtensionGetsCsvAndTheDoneExportSaysWhere)
{
    TempFolder folder;
    folder.write("u_ex1.log", kIis6Header + visit("1.1.1.1", "Baiduspider") + visit("2.2.2.2", "UA"));
    LogAnalysis analysis;
    LogPage::Options pageOptions;
    pageOptions.chooseCsvPath = [&](QWidget*, const QString&) { return QString::fromStdString(folder.file("report")); };
    LogPage page(analysis, std::move(pageOptions));
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.listLogFiles(true);
    page.show();
    QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&page, "exportCsv"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !page.isExporting(); }, 10000));
    EXPECT_TRUE(std::filesystem::exists(folder.file("report.csv")));
    EXPECT_FALSE(std::filesystem::exists(folder.file("report")));
    EXPECT_EQ(child<QLabel>(&page, "Label4")->text(),
              QStringLiteral("已导出 2 行到 ") + QString::fromStdString(folder.file("report.csv")));

    StatsPage::Options statsOptions;
    statsOptions.logFolder = [&] { return QString::fromStdString(folder.path()); };
    statsOptions.chooseCsvPath = [&](QWidget*, const QString&) { return QString::fromStdString(folder.file("stats.txt")); };
    StatsPage stats(std::move(statsOptions));
    stats.show();
    QTest::mouseClick(child<QPushButton>(&stats, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !stats.isCounting(); }, 10000));
    QTest::mouseClick(child<QPushButton>(&stats, "exportCsv"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&stats, "exportCsv")->isEnabled(); }, 10000));
    EXPECT_TRUE(std::filesystem::exists(folder.file("stats.txt"))) << "the user's own extension stays";
    EXPECT_EQ(child<QLabel>(&stats, "message")->text(),
              QStringLiteral("已导出 1 行到 ") + QString::fromStdString(folder.file("stats.txt")));
}

TEST(SettingsPageFolder, theFolderBoxIsReadOnlyAndTakesWhatTheBrowserChose)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.chooseFolder = [&](QWidget*) { return std::optional<QString>(QString::fromStdString(folder.path())); };
    MainWindow form(options);
    form.show();
    auto* box = onPage<QLineEdit>(&form, "ts3", "edt1");
    EXPECT_TRUE(box->isReadOnly());
    onPage<QPushButton>(&form, "ts3", "Button4")->click();
    EXPECT_EQ(box->text(), QString::fromStdString(folder.path()));
}
