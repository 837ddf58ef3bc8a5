// The statistics page's views: the described columns, today's crawlers by group, the busiest ones.
#include "gui/StatsPage.h"

#include "UiTestSupport.h"
#include "gui/StatsChartWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <gtest/gtest.h>

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

std::string visits(std::initializer_list<std::pair<const char*, int>> agents)
{
    std::string text = kIis6Header;
    for (const auto& [agent, times] : agents)
        for (int i = 0; i < times; ++i)
            text += iisLine({.stem = "/a.htm", .agent = agent});
    return text;
}

} // namespace

TEST(StatsPage, showsAllCrawlersByGroupOrTheBusiestOnes)
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
