#include "UiTestSupport.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "html/PageParser.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtUiDispatcher.h"
#include "app/MainWindow.h"
#include "support/ScopedEnv.h"
#include "support/LoopbackServer.h"
#include "support/RawTcpServer.h"
#include "webtools/HeadProbe.h"
#include "gui/QtClientSocket.h"
#include "gui/ToolsPage.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>
#include <filesystem>

using namespace quill;
using namespace quill::test;

namespace {

// Short bounds, so a test waits fractions of a second where the program waits seconds.
WebLimits quickLimits()
{
    using std::chrono::milliseconds;
    return {milliseconds(500), milliseconds(500), milliseconds(1500)};
}

struct PageFixture {
    TempFolder folder;
    std::string siteList = folder.file("test.xml");
    QObject receiver;
    QtUiDispatcher dispatcher{&receiver};
    PageParser parser{dispatcher};
    ToolsPage page{{siteList, quickLimits()}, parser};
    MessageBoxes boxes;

    explicit PageFixture(int pointSize = 0)
    {
        if (pointSize > 0)
            setPointSize(&page, pointSize);
        page.resize(800, 450);
        page.show();
    }
    QStringList errors() const { return boxes.texts(); }

    void type(const QString& address) { child<QComboBox>(&page, "ComboBox1")->setEditText(address); }
    void press(const char* button)
    {
        QTest::mouseClick(child<QPushButton>(&page, button), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([this] { return !page.busy(); })) << button;
    }
    QString status() const { return child<QLabel>(&page, "StatusLine")->text(); }
    QStringList lines() const { return child<QPlainTextEdit>(&page, "Memo1")->toPlainText().split(QLatin1Char('\n')); }
    QStringList items() const
    {
        QStringList list;
        for (int i = 0; i < child<QComboBox>(&page, "ComboBox1")->count(); ++i)
            list << child<QComboBox>(&page, "ComboBox1")->itemText(i);
        return list;
    }
};


// Sets an environment variable for the life of the object.
} // namespace

TEST(ToolsPage, everyControlShowsWholeAtAnyFontSize)
{
    for (int pointSize : {9, 16}) {
        PageFixture f(pointSize);
        EXPECT_EQ(layoutFaults(&f.page), QStringList()) << pointSize << " pt";
        // The four rows of the tool bar stand in their order, the results area below them all.
        const auto top = [&](const char* name) { return child<QWidget>(&f.page, name)->geometry().top(); };
        EXPECT_LT(top("CheckBox11"), top("ComboBox1"));
        EXPECT_LT(top("ComboBox1"), top("StatusLine"));
        EXPECT_LT(top("StatusLine"), top("Button7"));
        EXPECT_EQ(top("Button12"), top("Button13"));
        EXPECT_EQ(top("Button7"), top("Button20"));
        const QWidget* results = child<QPlainTextEdit>(&f.page, "Memo1");
        EXPECT_GE(results->geometry().top(), child<QWidget>(&f.page, "Panel2")->geometry().bottom());
        EXPECT_EQ(results->geometry().bottom(), f.page.height() - 1);
        screenshot(&f.page, pointSize == 9 ? "tools-page" : "tools-page-16pt");
    }
}

TEST(ToolsPage, startsWithTheDesignedBoxesAndTexts)
{
    PageFixture f;
    for (const char* hidden : {"CheckBox13", "CheckBox14", "CheckBox15", "CheckBox16"})
        EXPECT_TRUE(child<QCheckBox>(&f.page, hidden)->isHidden()) << hidden;
    EXPECT_TRUE(child<QCheckBox>(&f.page, "CheckBox11")->isChecked() && child<QCheckBox>(&f.page, "CheckBox12")->isChecked());
    EXPECT_EQ(child<QLineEdit>(&f.page, "Edit1")->text(), u("兴安盟"));

    // One empty line at start, so output begins on the second; CR LF in a value makes lines.
    f.page.appendLine(gbk("域名: a\r\nb"));
    EXPECT_EQ(f.lines(), (QStringList{QString(), u("域名: a"), u("b"), QString()}));
}

TEST(ToolsPage, mousePressShowsTheGbkLengthAndClearEmpties)
{
    PageFixture f;
    f.page.appendLine(gbk("站点ab"));
    QTest::mouseClick(child<QPlainTextEdit>(&f.page, "Memo1")->viewport(), Qt::RightButton);
    EXPECT_EQ(child<QLabel>(&f.page, "Label3")->text(), QStringLiteral("10")); // CR LF, 4 + 2 bytes, CR LF
    QTest::mouseClick(child<QPushButton>(&f.page, "Button15"), Qt::LeftButton);
    QTest::mouseClick(child<QPlainTextEdit>(&f.page, "Memo1")->viewport(), Qt::LeftButton);
    EXPECT_EQ(child<QLabel>(&f.page, "Label3")->text(), QStringLiteral("0"));
    f.page.appendLine("x");
    EXPECT_EQ(f.lines(), (QStringList{QStringLiteral("x"), QString()}));
}

TEST(ToolsPage, indexQueriesAskTheCheckedEnginesOnly)
{
    LoopbackServer baidu, google;
    baidu->Get("/baidu", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(gbk("找到相关网页约1,230篇，用时"), "text/html");
    });
    google->Get("/search", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(gbk("约 <b>45</b> 条"), "text/html");
    });
    baidu.start();
    google.start();
    ScopedEnv baiduHost("QUILLMARK_BAIDU_HOST", "127.0.0.1:" + std::to_string(baidu.port()));
    ScopedEnv googleHost("QUILLMARK_GOOGLE_HOST", "127.0.0.1:" + std::to_string(google.port()));

    PageFixture f;
    f.type(QStringLiteral("http://example.test"));
    child<QCheckBox>(&f.page, "CheckBox12")->setChecked(false);
    child<QCheckBox>(&f.page, "CheckBox13")->setChecked(true); // hidden: no effect
    f.press("Button6");
    EXPECT_EQ(f.status(), u("批量查询: 完成"));
    QStringList lines = f.lines();
    ASSERT_EQ(lines.size(), 8);
    EXPECT_EQ(lines[1], QString(71, QLatin1Char('-')));
    EXPECT_TRUE(lines[2].startsWith(u("查询时间："))) << lines[2].toStdString();
    EXPECT_EQ(lines.mid(3, 4), (QStringList{u("百度 收录:约1,230个页面"), u("百度 最近1天收录:约1,230个页面"),
                                            u("百度 最近7天收录:约1,230个页面"), u("百度 反向链接:约1,230个页面")}));

    child<QCheckBox>(&f.page, "CheckBox11")->setChecked(false);
    child<QCheckBox>(&f.page, "CheckBox12")->setChecked(true);
    f.press("Button6");
    lines = f.lines();
    ASSERT_EQ(lines.size(), 15);
    EXPECT_EQ(lines[9], u("Google 收录:45个页面"));
    EXPECT_EQ(lines[13], u("Google 一年内收录: 45 个页面"));
}

TEST(ToolsPage, pageHeadSendsTheRequestAndShowsTheReply)
{
    RawTcpServer server({"HTTP/1.1 200 OK\r\nServer: t\r\n\r\n"}, true);
    PageFixture f;
    const QString port = QString::number(server.port());
    f.type(QStringLiteral("127.0.0.1:") + port + QStringLiteral("/a?b=1"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button8"), Qt::LeftButton);
    EXPECT_EQ(f.lines().mid(1, 3), (QStringList{u("域名: 127.0.0.1"), u("URL: /a?b=1"), u("端口: ") + port}));
    QTRY_VERIFY(child<QPlainTextEdit>(&f.page, "Memo1")->toPlainText().contains(QStringLiteral("Server: t")));
    EXPECT_EQ(server.received(), headRequest("/a?b=1", "127.0.0.1"));
    EXPECT_FALSE(child<QPlainTextEdit>(&f.page, "Memo1")->toPlainText().contains(u("失败")));
    QTRY_VERIFY(!child<QtClientSocket>(&f.page, "CS1")->active());
    EXPECT_TRUE(waitUntil([&] { return !f.page.busy(); }));
    EXPECT_EQ(f.status(), u("页面头: 完成"));
    EXPECT_TRUE(f.errors().isEmpty());
}

TEST(ToolsPage, pageHeadShowsEachArrivalAndGivesUpAnOpenSocketAtItsBound)
{
    RawTcpServer server({"HTTP/1.1 302 Found\r\n", "Location: /x\r\n\r\n"}, false);
    PageFixture f;
    const QString address = QStringLiteral("127.0.0.1:") + QString::number(server.port()) + QStringLiteral("/");
    f.type(address);
    QTest::mouseClick(child<QPushButton>(&f.page, "Button8"), Qt::LeftButton);
    QTRY_COMPARE(f.lines().mid(4), (QStringList{QStringLiteral("HTTP/1.1 302 Found"), QString(), u("失败"), QString()}));
    server.releaseNext();
    QTRY_COMPARE(f.lines().mid(7), (QStringList{QStringLiteral("Location: /x"), QString(), QString(), u("失败"),
                                                QString()}));
    EXPECT_TRUE(child<QtClientSocket>(&f.page, "CS1")->active());
    EXPECT_TRUE(f.page.busy());
    EXPECT_FALSE(child<QPushButton>(&f.page, "Button8")->isEnabled());

    // A press while the socket is open is ignored: nothing shown, no error, no new connection.
    const QString before = child<QPlainTextEdit>(&f.page, "Memo1")->toPlainText();
    f.type(QStringLiteral("localhost:") + QString::number(server.port()) + QStringLiteral("/"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button8"), Qt::LeftButton);
    EXPECT_EQ(child<QPlainTextEdit>(&f.page, "Memo1")->toPlainText(), before);

    // The server neither answers more nor closes: at the bound the socket closes, "失败" is
    // appended and another host can be asked.
    ASSERT_TRUE(waitUntil([&] { return !f.page.busy(); }));
    EXPECT_FALSE(child<QtClientSocket>(&f.page, "CS1")->active());
    EXPECT_EQ(f.lines().mid(11), (QStringList{u("失败"), QString()}));
    EXPECT_EQ(f.status(), u("页面头: 连接超时"));
    screenshot(&f.page, "tools-page-after-failure");
    f.press("Button8");
    EXPECT_TRUE(f.errors().isEmpty());
    EXPECT_EQ(server.connections(), 2);
}

TEST(ToolsPage, pageHeadReportsWhatKeepsItFromConnecting)
{
    PageFixture f;
    const QString refused = QStringLiteral("127.0.0.1:") + QString::number(refusingPort()) + QStringLiteral("/");
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("127.0.0.1:/"), QStringLiteral("'' is not a valid integer value.")},
        {refused, QStringLiteral("Asynchronous socket error 10061.")},
        {QStringLiteral("no-such-host.invalid/"), QStringLiteral("(11001), on API 'ASync Lookup'")},
    };
    for (const auto& [address, error] : cases) {
        f.boxes.clear();
        f.type(address);
        f.press("Button8");
        ASSERT_EQ(f.errors().size(), 1) << address.toStdString();
        EXPECT_TRUE(f.errors()[0].endsWith(error)) << f.errors()[0].toStdString();
        EXPECT_FALSE(child<QtClientSocket>(&f.page, "CS1")->active());
    }
    EXPECT_TRUE(f.errors()[0].startsWith(QStringLiteral("Windows socket error: ")));
    EXPECT_EQ(f.lines().size(), 2 + 3 + 3); // the failed integer showed nothing
}

TEST(ToolsPage, saveAndDeleteKeepTheFileAndTheDropDown)
{
    PageFixture f;
    for (const char* address : {"a.test", "b.test", "c.test", "b.test", "ab"}) {
        f.type(QString::fromLatin1(address));
        QTest::mouseClick(child<QPushButton>(&f.page, "Button12"), Qt::LeftButton);
    }
    EXPECT_EQ(f.items(), (QStringList{QStringLiteral("a.test"), QStringLiteral("b.test"), QStringLiteral("c.test")}));
    EXPECT_EQ(child<QComboBox>(&f.page, "ComboBox1")->currentText(), QStringLiteral("ab")); // the typed text stays
    f.type(QStringLiteral("b.test"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button13"), Qt::LeftButton);
    EXPECT_EQ(f.items(), (QStringList{QStringLiteral("a.test"), QStringLiteral("c.test")}));
    EXPECT_EQ(child<QComboBox>(&f.page, "ComboBox1")->currentText(), QStringLiteral("b.test"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button13"), Qt::LeftButton);
    EXPECT_EQ(f.lines().mid(1), (QStringList{u("地址保存成功:  a.test"), u("地址保存成功:  b.test"),
                                             u("地址保存成功:  c.test"), u("这个地址存在:  b.test"),
                                             u("删除成功:  b.test"), u("保存列表中不存:  b.test"), QString()}));

    // A file that cannot be replaced: the box, no message line, the list as the file holds it.
    std::filesystem::permissions(f.siteList, std::filesystem::perms::owner_read);
    f.type(QStringLiteral("a.test"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button13"), Qt::LeftButton);
    f.type(QStringLiteral("d.test"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button12"), Qt::LeftButton);
    ASSERT_EQ(f.errors().size(), 2);
    EXPECT_TRUE(f.errors()[0].startsWith(QStringLiteral("Unable to write to ")));
    EXPECT_EQ(f.items(), (QStringList{QStringLiteral("a.test"), QStringLiteral("c.test")}));
    EXPECT_EQ(f.lines().size(), 8);
}

TEST(ToolsPage, windowLoadsTheSiteListWhenShownAndSavesTheAddressOnClose)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    {
        MainWindow first(options);
        EXPECT_EQ(child<QComboBox>(&first, "ComboBox1")->currentText(), QStringLiteral("http://www.baidu.com"));
        first.show();
        EXPECT_FALSE(first.siteListWasRead());
        ASSERT_TRUE(std::filesystem::exists(options.siteListPath));
        onPage<QComboBox>(&first, "ts4", "ComboBox1")->setEditText(QStringLiteral("www.example.test"));
        QTest::mouseClick(onPage<QPushButton>(&first, "ts4", "Button12"), Qt::LeftButton);
        first.close();
    }
    EXPECT_EQ(IniFile(options.settingsPath).readString(gbk("user"), gbk("siteurl"), ""), "www.example.test");
    MainWindow second(options);
    second.show();
    EXPECT_TRUE(second.siteListWasRead());
    EXPECT_EQ(onPage<QComboBox>(&second, "ts4", "ComboBox1")->count(), 1);
    EXPECT_EQ(child<QComboBox>(&second, "ComboBox1")->currentText(), QStringLiteral("www.example.test"));
    child<QTabWidget>(&second, "PageControl")->setCurrentWidget(child<QWidget>(&second, "ts4"));
    screenshot(&second, "main-window-tools-page");
}
