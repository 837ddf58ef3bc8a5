#include "gui/LogPage.h"

#include "UiTestSupport.h"
#include "platform/CodePage.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

// The log page over one loaded log, its IP lookups answered by a loopback service.
struct LookupFixture {
    TempFolder folder;
    LoopbackServer service;
    std::vector<std::string> targets;
    std::unique_ptr<ScopedEnv> host;
    LogAnalysis analysis;
    LogPage page{analysis, {}};

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
        host = std::make_unique<ScopedEnv>("QUILLMARK_IPLOCATION_HOST", "127.0.0.1:" + std::to_string(service.port()));
        folder.write("u_ex1.log", log);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(900, 600);
        page.show();
        QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    }

    QTableView* list() const { return child<QTableView>(&page, "lv2"); }
    QString summary() const { return child<QLabel>(&page, "Label4")->text(); }
    QMenu* menu() const { return child<QMenu>(&page, "PopupMenu1"); }
    void select(std::initializer_list<int> rows) const
    {
        list()->clearSelection();
        for (int row : rows)
            list()->selectionModel()->select(list()->model()->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void chooseViewIp() const { menu()->findChild<QAction*>(QStringLiteral("IP1"))->trigger(); }
    bool answered() const
    {
        return waitUntil([this] { return !page.isLookingUp(); });
    }
};

std::string visitFrom(const char* client, const char* stem) { return iisLine({.stem = stem, .client = client}); }

} // namespace

TEST(LogPageIpLookup, theRecordListsMenuOffersIt)
{
    LookupFixture f(kIis6Header + visitFrom("10.0.0.5", "/a.htm"));
    const QPoint at(10, 10);
    QContextMenuEvent press(QContextMenuEvent::Mouse, at, f.list()->viewport()->mapToGlobal(at));
    QApplication::sendEvent(f.list()->viewport(), &press);
    ASSERT_TRUE(waitUntil([&] { return f.menu()->isVisible(); }));
    EXPECT_EQ(f.menu()->actions().value(0)->text(), u("查看IP"));
    f.menu()->close();
}

TEST(LogPageIpLookup, showsWhereTheFirstSelectedVisitorIs)
{
    LookupFixture f(kIis6Header + visitFrom("10.0.0.5", "/a.htm") + visitFrom("10.0.0.6", "/b.htm") +
                    visitFrom("9.9.9.9", "/c.htm"));
    ASSERT_EQ(f.list()->model()->rowCount(), 3);
    const QString summary = f.summary();

    // No selection: nothing is asked and the summary stays.
    f.list()->clearSelection();
    f.chooseViewIp();
    EXPECT_EQ(f.summary(), summary);
    EXPECT_TRUE(f.targets.empty());

    // Several rows: the first in list order, whatever order they were picked in.
    f.select({1, 0});
    f.chooseViewIp();
    EXPECT_EQ(f.summary(), u("10.0.0.5")); // the address shows while the lookup runs
    ASSERT_TRUE(f.answered());
    EXPECT_EQ(f.summary(), u("来源：内蒙古 10.0.0.5  |参考一：兴安盟  |参考二：电信"));
    screenshot(&f.page, "log-page-ip-lookup");

    f.select({2});
    f.chooseViewIp();
    ASSERT_TRUE(f.answered());
    EXPECT_EQ(f.summary(), u("来源"));
    EXPECT_EQ(f.targets, (std::vector<std::string>{"/ips.asp?ip=10.0.0.5", "/ips.asp?ip=9.9.9.9"}));
}

TEST(LogPageIpLookup, thePageTextIsShownAsTextNotAsMarkup)
{
    LookupFixture f(kIis6Header + visitFrom("8.8.8.8", "/a.htm"));
    f.select({0});
    f.chooseViewIp();
    ASSERT_TRUE(f.answered());
    EXPECT_EQ(f.summary(), u("来源：<b>粗体</b><img src=x>"));
    screenshot(&f.page, "log-page-ip-lookup-markup");
    // Every label of the page that shows log, page or file text.
    for (const char* name : {"Label4", "LabelVerify"})
        EXPECT_EQ(child<QLabel>(&f.page, name)->textFormat(), Qt::PlainText) << name;
}

TEST(LogPageIpLookup, anEmptyListChangesNothing)
{
    LookupFixture f(kIis6Header);
    ASSERT_EQ(f.list()->model()->rowCount(), 0);
    const QString summary = f.summary();
    f.chooseViewIp();
    EXPECT_EQ(f.summary(), summary);
    EXPECT_TRUE(f.targets.empty());
}
