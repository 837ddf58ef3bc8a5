// The crawler check on the statistics page: verified, fake and unchecked visits in a column of
// their own, and a DNS server that stops answering.
#include "gui/StatsPage.h"

#include "UiTestSupport.h"
#include "VerificationFixtures.h"
#include "gui/StatsChartWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace quill;
using namespace quill::test;

TEST(StatsPageVerification, aServerThatStopsAnsweringIsAskedForTheFirstFileOnlyAndSaidSo)
{
    const std::string manyVisits = manyBaiduVisits();
    const QString said = QString::fromUtf8("DNS 无法连接：");

    DnsTestServer dns;
    dns.dropAfterReplies(1);
    TempFolder folder;
    folder.write("ex261201.log", manyVisits);
    folder.write("ex261202.log", manyVisits);
    StatsPage::Options options;
    options.logFolder = [&] { return QString::fromStdString(folder.path()); };
    options.verifier = quickVerifier(dns.address());
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
        kVerifyWaitMs));
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

TEST(StatsPageVerification, countsVerifiedFakeAndUncheckedVisitsInAColumnOfTheirOwn)
{
    DnsTestServer dns;
    fillServer(dns);
    TempFolder folder;
    folder.write("ex261201.log", kVerificationLog + verifiedVisit("66.249.66.1", "Googlebot/2.1"));
    folder.write("ex261202.log", kIis6Header + verifiedVisit("10.0.0.2", "Googlebot/2.1") + verifiedVisit("10.0.0.2", "Googlebot/2.1") +
                                     verifiedVisit("123.125.71.12", "Baiduspider"));
    StatsPage::Options options;
    options.logFolder = [&] { return QString::fromStdString(folder.path()); };
    options.verifier = quickVerifier(dns.address());
    options.chooseCsvPath = [&](QWidget*, const QString&) { return QString::fromStdString(folder.file("verified.csv")); };
    StatsPage page(std::move(options));
    page.setVerdictCachePath(folder.file("cache.txt"));
    page.resize(760, 520);
    page.show();
    child<QCheckBox>(&page, "CheckBoxVerified")->click();
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!page.isCounting(), kVerifyWaitMs);

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
    ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&page, "exportCsv")->isEnabled(); }, kVerifyWaitMs));
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
