// The pages' views of today's crawlers: "全部蜘蛛" on the statistics page, "AI 蜘蛛" on the log
// page, and "更新蜘蛛IP表" on the settings page.

#include "UiTestSupport.h"
#include "crawlers/CrawlerRegistry.h"
#include "gui/LogPage.h"
#include "gui/SettingsPage.h"
#include "gui/StatsChartWidget.h"
#include "gui/StatsPage.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"
#include "verify/AddressLists.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <set>

using namespace quill;
using namespace quill::test;

namespace {

QStringList captions(const QTableWidget* list)
{
    QStringList texts;
    for (int column = 0; column < list->columnCount(); ++column)
        texts << list->horizontalHeaderItem(column)->text();
    return texts;
}

QStringList rowTexts(const QTableWidget* list, int row)
{
    QStringList texts;
    for (int column = 0; column < list->columnCount(); ++column)
        texts << list->item(row, column)->text();
    return texts;
}

std::string visits(std::initializer_list<std::pair<const char*, int>> agents)
{
    std::string text = kIis6Header;
    for (const auto& [agent, times] : agents)
        for (int i = 0; i < times; ++i)
            text += iisLine({.stem = "/a.htm", .agent = agent});
    return text;
}

TEST(RegistryPages, statisticsPageShowsAllCrawlersByGroupOrBusiest)
{
    TempFolder folder;
    folder.write("ex261201.log", visits({{"Mozilla/5.0+(compatible;+GPTBot/1.3)", 3},
                                         {"Mozilla/5.0+(compatible;+Googlebot/2.1)", 2},
                                         {"ChatGPT-User/1.0", 1},
                                         {"Mozilla/5.0+(Windows+NT+10.0)", 4}}));
    folder.write("ex261202.log", visits({{"ClaudeBot/1.0", 5}, {"AhrefsBot/7.0", 1}}));
    StatsPage::Options options;
    options.logFolder = [&] { return QString::fromStdString(folder.path()); };
    StatsPage page(std::move(options));
    page.resize(900, 600);
    page.show();
    auto* list = child<QTableWidget>(&page, "lv1");
    EXPECT_EQ(list->columnCount(), 10); // the seven described columns until "全部蜘蛛" is chosen

    child<QComboBox>(&page, "cbbView")->setCurrentIndex(static_cast<int>(StatsPage::View::RegistryGroups));
    EXPECT_FALSE(child<QCheckBox>(&page, "CheckBoxVerified")->isEnabled());
    QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&page, "Button1")->isEnabled(); }, 60000));
    EXPECT_EQ(captions(list), (QStringList{QStringLiteral("日志文件名"), QStringLiteral("大小"), QStringLiteral("搜索引擎"),
                                           QStringLiteral("AI 训练"), QStringLiteral("AI 搜索"), QStringLiteral("AI 代取"),
                                           QStringLiteral("SEO 工具"), QStringLiteral("其他")}));
    ASSERT_EQ(list->rowCount(), 2);
    EXPECT_EQ(rowTexts(list, 0).mid(2), (QStringList{QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("0"),
                                                     QStringLiteral("1"), QStringLiteral("0"), QStringLiteral("0")}));
    auto* chart = child<StatsChartWidget>(&page, "chart");
    EXPECT_EQ(chart->seriesCount(), 6);
    EXPECT_EQ(chart->rowCount(), 2);
    screenshot(&page, "stats-page-all-crawlers-by-group");

    // The busiest crawlers one by one, from the rows already counted.
    child<QComboBox>(&page, "cbbView")->setCurrentIndex(static_cast<int>(StatsPage::View::RegistryTop));
    child<QSpinBox>(&page, "spnTop")->setValue(2);
    EXPECT_EQ(captions(list).mid(2), (QStringList{QStringLiteral("ClaudeBot"), QStringLiteral("GPTBot"), QStringLiteral("其余")}));
    EXPECT_EQ(rowTexts(list, 1).mid(2), (QStringList{QStringLiteral("5"), QStringLiteral("0"), QStringLiteral("1")}));
    EXPECT_EQ(chart->seriesCount(), 3);
    EXPECT_EQ(chart->barRects(0).size(), 3);
    screenshot(&page, "stats-page-all-crawlers-top");

    child<QComboBox>(&page, "cbbView")->setCurrentIndex(static_cast<int>(StatsPage::View::Described));
    EXPECT_EQ(list->columnCount(), 10);
    EXPECT_EQ(chart->seriesCount(), 7);
}

TEST(RegistryPages, logPageAiSpidersKeepsTheAiGroupsVisits)
{
    TempFolder folder;
    folder.write("u_ex1.log", visits({{"Mozilla/5.0+(compatible;+GPTBot/1.3)", 2},
                                      {"Mozilla/5.0+(compatible;+Googlebot/2.1)", 1},
                                      {"notGPTBot/1.0", 1},
                                      {"Perplexity-User/1.0", 1}}));
    LogAnalysis analysis;
    LogPage page{analysis, {}};
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.listLogFiles(true);
    page.resize(1000, 500);
    page.show();
    QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&page, "lv2")->model()->rowCount(), 5);
    child<QCheckBox>(&page, "CheckBoxAi")->setChecked(true);
    EXPECT_TRUE(page.filterSnapshot().onlyRegistryCrawlers);
    QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&page, "lv2")->model()->rowCount(), 3);
    screenshot(&page, "log-page-ai-spiders");
}

TEST(RegistryPages, settingsPageUpdatesTheListsInTheBackground)
{
    LoopbackServer server;
    server->Get("/gptbot.json", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(R"({"creationTime": "2026-12-10T00:00:00", "prefixes": [{"ipv4Prefix": "20.171.206.0/24"}]})",
                             "application/json");
    });
    server.start();
    std::vector<std::unique_ptr<ScopedEnv>> hosts;
    std::set<std::string> variables;
    for (const PublishedList& list : publishedLists())
        if (variables.insert(list.hostVariable).second)
            hosts.push_back(std::make_unique<ScopedEnv>(list.hostVariable.c_str(), server.url("")));
    ScopedEnv timeouts("QUILLMARK_WEB_TIMEOUTS_MS", "2000,2000,5000");

    TempFolder folder;
    const std::string settingsPath = folder.file("settings.ini");
    SettingsPage page({settingsPath, [](QWidget*) { return std::nullopt; }, [] { return Settings{}; }});
    page.resize(700, 500);
    page.show();
    EXPECT_EQ(child<QLabel>(&page, "LabelLists")->text(), QStringLiteral("尚未下载蜘蛛IP表"));

    QSignalSpy updated(&page, &SettingsPage::listsUpdated);
    QTest::mouseClick(child<QPushButton>(&page, "ButtonUpdateLists"), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>(&page, "ButtonUpdateLists")->isEnabled()); // the window stays usable meanwhile
    ASSERT_TRUE(updated.wait(60000));
    EXPECT_TRUE(child<QPushButton>(&page, "ButtonUpdateLists")->isEnabled());
    const QString report = child<QPlainTextEdit>(&page, "memoLists")->toPlainText();
    EXPECT_TRUE(report.contains(QStringLiteral("gptbot.json: 新表，共 1 段"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("bingbot.json: 下载失败：HTTP 404"))) << report.toStdString();
    EXPECT_TRUE(child<QLabel>(&page, "LabelLists")->text().startsWith(QStringLiteral("1 个表，1 段")));
    EXPECT_EQ(readAddressListsFile(folder.file("蜘蛛IP表.txt")).lists().size(), 1u);
    screenshot(&page, "settings-page-lists-updated");
}

} // namespace
