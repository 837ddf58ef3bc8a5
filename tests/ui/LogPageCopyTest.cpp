// Copying rows, cells and addresses off the log page's list, by key and by its menu.
#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "gui/LogPage.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string visitor(const std::string& ip, const std::string& stem)
{
    return iisLine({.stem = stem, .client = ip, .agent = "UA", .bytesSent = "1", .bytesReceived = "2", .timeTaken = "1"});
}

struct Window {
    TempFolder folder;
    std::unique_ptr<MainWindow> form;

    explicit Window(const std::string& log)
    {
        folder.write("u_ex1.log", log);
        MainWindow::Options options;
        options.settingsPath = folder.file("settings.ini");
        options.siteListPath = folder.file("test.xml");
        options.logFolderForRun = QString::fromStdString(folder.path());
        form = std::make_unique<MainWindow>(options);
        form->resize(1000, 700);
        form->show();
        QTest::mouseClick(child<QPushButton>(page(), "Button2"), Qt::LeftButton);
    }
    LogPage* page() const { return child<LogPage>(form, "ts2"); }
    QTableView* list() const { return child<QTableView>(page(), "lv2"); }
    QString clipboard() const { return QApplication::clipboard()->text(); }
    void select(std::initializer_list<int> rows)
    {
        list()->clearSelection();
        for (int row : rows)
            list()->selectionModel()->select(list()->model()->index(row, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }
    void menuAction(const char* name)
    {
        for (QAction* action : child<QMenu>(form, "PopupMenu1")->actions())
            if (action->objectName() == QLatin1String(name))
                return action->trigger();
        ADD_FAILURE() << "no menu entry " << name;
    }
};

} // namespace

TEST(LogPageCopy, ctrlCCopiesTheSelectedRowsAndTheMenuOffersCellAndAddress)
{
    Window w(kIis6Header + visitor("10.0.0.5", "/a.htm") + visitor("10.0.0.6", "/b.htm") +
             visitor("10.0.0.7", "/c.htm"));
    ASSERT_EQ(w.list()->model()->rowCount(), 3);
    QApplication::clipboard()->clear();

    // Two rows picked out of order: captions, then the rows top to bottom.
    w.list()->setFocus();
    w.select({2, 0});
    QTest::keyClick(w.list(), Qt::Key_C, Qt::ControlModifier);
    QStringList lines = w.clipboard().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3) << w.clipboard().toStdString();
    EXPECT_TRUE(lines[0].startsWith(u("序号\turl\tgetURL\t浏鉴器/蜘蛛\t状态")));
    EXPECT_TRUE(lines[1].startsWith(QStringLiteral("0\t/a.htm\t")));
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("2\t/c.htm\t")));
    EXPECT_EQ(lines[2].split(QLatin1Char('\t')).size(), 17);

    // Ctrl+A then Ctrl+C: every row.
    QTest::keyClick(w.list(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.list(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(w.clipboard().split(QLatin1Char('\n')).size(), 4);

    // The menu: beside 查看IP, in this order.
    QStringList captions;
    for (QAction* action : child<QMenu>(w.form, "PopupMenu1")->actions())
        captions << action->text();
    EXPECT_EQ(captions, (QStringList{u("查看IP"), u("复制行"), u("复制单元格"), u("复制访问IP")}));
    auto* menu = child<QMenu>(w.form, "PopupMenu1");
    menu->popup(w.list()->mapToGlobal(QPoint(40, 40)));
    screenshot(menu, "log-page-list-menu");
    menu->hide();

    w.select({0, 1});
    w.menuAction("CopyClientIp");
    EXPECT_EQ(w.clipboard(), QStringLiteral("10.0.0.5\n10.0.0.6"));
    w.list()->setCurrentIndex(w.list()->model()->index(1, 1));
    w.menuAction("CopyCell");
    EXPECT_EQ(w.clipboard(), QStringLiteral("/b.htm"));
    w.select({1});
    w.menuAction("CopyRows");
    EXPECT_TRUE(w.clipboard().startsWith(QStringLiteral("1\t/b.htm\t-\tUA\t200"))) << w.clipboard().toStdString();

    // Nothing selected: the clipboard keeps what it had.
    w.list()->clearSelection();
    QTest::keyClick(w.list(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_TRUE(w.clipboard().startsWith(QStringLiteral("1\t/b.htm")));
    screenshot(w.form.get(), "log-page-copy");
}

TEST(LogPageCopy, aMillionRowsCopyWhole)
{
    // Short lines of the eleven fields a data line needs at least.
    std::string log = "#Software: Microsoft Internet Information Services 6.0\r\n#Fields: date time c-ip cs-uri-stem "
                      "cs-uri-query s-port sc-status sc-substatus sc-win32-status sc-bytes cs-bytes\r\n";
    log.reserve(1'000'000 * 50);
    for (int i = 0; i < 1'000'000; ++i)
        log += "2026-12-01 00:00:01 1.2.3.4 /p" + std::to_string(i) + " - - - - - - -\r\n";
    Window w(log);
    ASSERT_EQ(w.list()->model()->rowCount(), 1'000'000) << child<QLabel>(w.page(), "Label4")->text().toStdString();
    w.list()->setFocus();
    QTest::keyClick(w.list(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(w.list(), Qt::Key_C, Qt::ControlModifier);
    const QString text = w.clipboard();
    EXPECT_EQ(text.count(QLatin1Char('\n')), 1'000'000);
    EXPECT_TRUE(text.endsWith(QStringLiteral("999999\t/p999999\t-\t-\t-\t-\t-\t1.2.3.4\t2026-12-01\t00:00:01\t-\t-\t-\t-\t-\t-\t-")))
        << text.right(200).toStdString();
}
