#include "gui/SettingsPage.h"

#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"
#include "verify/AddressLists.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include <set>

using namespace quill;
using namespace quill::test;

TEST(SettingsPage, updatesTheCrawlerListsInTheBackground)
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

TEST(SettingsPage, theFolderBoxIsReadOnlyAndTakesWhatTheBrowserChose)
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
