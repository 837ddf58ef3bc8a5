#include "UiTestSupport.h"
#include "gui/LogPage.h"
#include "platform/CodePage.h"
#include "app/MainWindow.h"
#include "support/LoopbackServer.h"

#include <QAction>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

QString u(const char* utf8) { return QString::fromUtf8(utf8); }

std::string lineFrom(const std::string& ip, const std::string& stem)
{
    std::string line = logLine(stem, "1");
    line.replace(line.find("1.2.3.4"), 7, ip);
    return line;
}

// The main window over one loaded log, its IP lookups answered by a loopback service.
struct LookupFixture {
    TempFolder folder;
    LoopbackServer service;
    std::vector<std::string> targets;
    std::unique_ptr<MainWindow> form;

    explicit LookupFixture(const std::string& log)
    {
        service->Get("/ips.asp", [this](const httplib::Request& request, httplib::Response& response) {
            targets.push_back(request.target);
            const std::string ip = request.get_param_value("ip");
            if (ip == "9.9.9.9") {
                response.set_content("<p>another layout</p>", "text/html");
                return;
            }
            if (ip == "8.8.8.8") { // markup inside the cut piece
                response.set_content(gbk("<ul class=\"ul1\"><li>本站主数据：<b>粗体</b><img src=x></li></ul></td>"),
                                     "text/html");
                return;
            }
            response.set_content(gbk("<td><ul class=\"ul1\"><li>本站主数据：内蒙古 ") + ip +
                                     gbk("</li><li>参考数据一：兴安盟</li><li>参考数据二：电信</li></ul></td>"),
                                 "text/html");
        });
        service.start();
        qputenv("QUILLMARK_IPLOCATION_HOST", "127.0.0.1:" + QByteArray::number(service.port()));
        folder.write("u_ex1.log", log);
        MainWindow::Options options;
        options.settingsPath = folder.file("settings.ini");
        options.siteListPath = folder.file("test.xml");
        options.logFolderForRun = QString::fromStdString(folder.path());
        form = std::make_unique<MainWindow>(options);
        form->resize(900, 600);
        form->show();
        QTest::mouseClick(child<QPushButton>(child<LogPage>(form, "ts2"), "Button2"), Qt::LeftButton);
    }
    ~LookupFixture() { qunsetenv("QUILLMARK_IPLOCATION_HOST"); }

    QTableView* recordView() const { return child<QTableView>(child<LogPage>(form, "ts2"), "lv2"); }
    QString label() const { return child<QLabel>(child<LogPage>(form, "ts2"), "Label4")->text(); }
    void select(std::initializer_list<int> rows)
    {
        recordView()->clearSelection();
        for (int row : rows)
            recordView()->selectionModel()->select(recordView()->model()->index(row, 0),
                                            QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void chooseViewIp() { child<QMenu>(form, "PopupMenu1")->findChild<QAction*>(QStringLiteral("IP1"))->trigger(); }
};

} // namespace

TEST(IpLookupMenu, showsWhereTheFirstSelectedVisitorIs)
{
    LookupFixture f(kIis6Header + lineFrom("10.0.0.5", "/a.htm") + lineFrom("10.0.0.6", "/b.htm") +
                    lineFrom("9.9.9.9", "/c.htm"));
    ASSERT_EQ(f.recordView()->model()->rowCount(), 3);
    const QString summary = f.label();

    // No selection: nothing is asked and the summary stays.
    f.recordView()->clearSelection();
    f.chooseViewIp();
    EXPECT_EQ(f.label(), summary);
    EXPECT_TRUE(f.targets.empty());

    // Several rows: the first in list order, whatever order they were picked in.
    f.select({1, 0});
    f.chooseViewIp();
    EXPECT_EQ(f.label(), QStringLiteral("10.0.0.5")); // the address shows while the lookup runs
    ASSERT_TRUE(waitUntil([&] { return f.label().startsWith(u("来源")); }));
    EXPECT_EQ(f.label(), u("来源：内蒙古 10.0.0.5  |参考一：兴安盟  |参考二：电信"));
    screenshot(f.form.get(), "log-page-ip-lookup");

    f.select({2});
    f.chooseViewIp();
    ASSERT_TRUE(waitUntil([&] { return f.label().startsWith(u("来源")); }));
    EXPECT_EQ(f.label(), u("来源"));
    EXPECT_EQ(f.targets, (std::vector<std::string>{"/ips.asp?ip=10.0.0.5", "/ips.asp?ip=9.9.9.9"}));
}

TEST(IpLookupMenu, thePageTextIsShownAsTextNotAsMarkup)
{
    LookupFixture f(kIis6Header + lineFrom("8.8.8.8", "/a.htm"));
    f.select({0});
    f.chooseViewIp();
    ASSERT_TRUE(waitUntil([&] { return f.label().startsWith(u("来源")); }));
    EXPECT_EQ(f.label(), u("来源：<b>粗体</b><img src=x>"));
    auto* label = child<QLabel>(child<LogPage>(f.form, "ts2"), "Label4");
    EXPECT_EQ(label->textFormat(), Qt::PlainText);
    screenshot(f.form.get(), "log-page-ip-lookup-markup");
    // Every label of the window that shows log, page or file text.
    for (const char* name : {"Label4", "LabelVerify"})
        EXPECT_EQ(child<QLabel>(child<LogPage>(f.form, "ts2"), name)->textFormat(), Qt::PlainText) << name;
    EXPECT_EQ(child<QLabel>(child<QWidget>(f.form, "ts1"), "message")->textFormat(), Qt::PlainText);
    for (const char* name : {"StatusLine", "Label3"})
        EXPECT_EQ(child<QLabel>(child<QWidget>(f.form, "ts4"), name)->textFormat(), Qt::PlainText) << name;
}

TEST(IpLookupMenu, anEmptyListChangesNothing)
{
    LookupFixture f(kIis6Header);
    ASSERT_EQ(f.recordView()->model()->rowCount(), 0);
    const QString summary = f.label();
    f.chooseViewIp();
    EXPECT_EQ(f.label(), summary);
    EXPECT_TRUE(f.targets.empty());
}
