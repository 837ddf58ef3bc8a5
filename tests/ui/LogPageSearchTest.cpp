#include "gui/LogPage.h"

#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

TEST(LogPageSearch, theBoxAddsThePercentEncodedFormsToTheSearch)
{
    TempFolder folder;
    const std::string word = gbk("日志");
    folder.write("u_ex1.log", kIis6Header + iisLine({.stem = "/" + word + ".htm", .agent = "UA", .timeTaken = "1"}) +
                                  iisLine({.stem = "/s.asp?q=%c8%d5%d6%be", .agent = "UA", .timeTaken = "2"}) +
                                  iisLine({.stem = "/%E6%97%A5%E5%BF%97/", .agent = "UA", .timeTaken = "3"}) +
                                  iisLine({.stem = "/other.htm", .agent = "UA", .timeTaken = "4"}));
    LogAnalysis analysis;
    LogPage page(analysis, {});
    page.setLogFolder(QString::fromStdString(folder.path()));
    page.listLogFiles(true);
    page.resize(900, 400);
    page.show();
    auto* box = child<QCheckBox>(&page, "CheckBoxEncoded");
    EXPECT_EQ(box->text(), QStringLiteral("含URL编码"));
    EXPECT_TRUE(box->isChecked());
    child<QLineEdit>(&page, "Edit2")->setText(QStringLiteral("日志"));

    QTest::keyClick(child<QLineEdit>(&page, "Edit2"), Qt::Key_Return);
    EXPECT_EQ(child<QTableView>(&page, "lv2")->model()->rowCount(), 3);
    screenshot(&page, "log-page-search-encoded");

    QTest::mouseClick(box, Qt::LeftButton);
    EXPECT_FALSE(page.filterSnapshot().searchEncoded);
    QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&page, "lv2")->model()->rowCount(), 1);
    EXPECT_TRUE(child<QLabel>(&page, "Label4")->text().contains(QStringLiteral("共有 1条记录")));
}

TEST(LogPageSearch, anOlderSettingsFileOpensWithTheBoxOnAndSaveKeepsItOff)
{
    TempFolder folder;
    const std::string settings = folder.write("settings.ini", "[" + gbk("日志") + "]\r\n" + gbk("跟踪") + "=0\r\n");
    auto open = [&] {
        MainWindow::Options options;
        options.settingsPath = settings;
        options.siteListPath = folder.file("test.xml");
        options.logFolderForRun = QString::fromStdString(folder.path());
        auto form = std::make_unique<MainWindow>(options);
        form->show();
        return form;
    };
    {
        auto form = open();
        auto* box = onPage<QCheckBox>(form, "ts2", "CheckBoxEncoded");
        EXPECT_TRUE(box->isChecked());
        box->setChecked(false);
        child<QTabWidget>(form, "PageControl")->setCurrentWidget(child<QWidget>(form, "ts3"));
        QTest::mouseClick(onPage<QPushButton>(form, "ts3", "Button3"), Qt::LeftButton);
        form->close();
    }
    EXPECT_EQ(IniFile(settings).readString(gbk("日志"), gbk("含URL编码"), ""), "0");
    auto form = open();
    EXPECT_FALSE(onPage<QCheckBox>(form, "ts2", "CheckBoxEncoded")->isChecked());
}
