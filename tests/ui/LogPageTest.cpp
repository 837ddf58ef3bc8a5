#include "UiTestSupport.h"
#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "gui/ColourBoxWidget.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// A model that counts the cells the view asks for.
class CountingModel : public LogRecordModel {
public:
    using LogRecordModel::LogRecordModel;
    QVariant data(const QModelIndex& index, int role) const override
    {
        if (role == Qt::DisplayRole)
            ++calls;
        return LogRecordModel::data(index, role);
    }
    mutable long calls = 0;
};

QStringList columnTexts(QTableView* view, int column)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

struct PageFixture {
    TempFolder folder;
    LogAnalysis analysis;
    LogPage page{analysis};

    explicit PageFixture(const std::string& log)
    {
        folder.write("u_ex1.log", log);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(800, 500);
        page.show();
    }
};

} // namespace

TEST(LogPage, loadsTheChosenFileAndSortsOnHeaderClicks)
{
    PageFixture f(kIis6Header + logLine("/a.htm", "15") + logLine("/b.gif", "9") + logLine("/c.htm", "1500") +
                  logLine("/d.htm", "200"));
    QAbstractItemModelTester tester(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 0); // listing selects the file but loads nothing
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 1), (QStringList{QStringLiteral("/a.htm"), QStringLiteral("/c.htm"), QStringLiteral("/d.htm")}));
    EXPECT_TRUE(child<QLabel>(&f.page, "Label4")->text().startsWith(QString::fromUtf8("用时: ")));
    EXPECT_TRUE(child<QLabel>(&f.page, "Label4")->text().endsWith(QString::fromUtf8("共有 3条记录")));

    QHeaderView* header = child<QTableView>(&f.page, "lv2")->horizontalHeader();
    EXPECT_EQ(f.page.model()->headerData(15, Qt::Horizontal).toString(), QString::fromUtf8("用时"));
    clickHeader(header, 15);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 15), (QStringList{QStringLiteral("1500"), QStringLiteral("200"), QStringLiteral("15")}));
    clickHeader(header, 15);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 15), (QStringList{QStringLiteral("15"), QStringLiteral("200"), QStringLiteral("1500")}));
    clickHeader(header, 16);
    clickHeader(header, 0);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 1), (QStringList{QStringLiteral("/a.htm"), QStringLiteral("/c.htm"), QStringLiteral("/d.htm")}));
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 0), (QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}));
    screenshot(&f.page, "log-page-sorted");
}

TEST(LogPage, filterBoxesApplyAtTheNextLoad)
{
    PageFixture f(kIis6Header + logLine("/a.htm", "1") + logLine("/b.gif", "2") +
                  logLine("/c.htm", "3", "Baiduspider+(+http://x/)"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 2);
    child<QCheckBox>(&f.page, "CheckBox1")->setChecked(false);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 2);
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 3);
    child<QCheckBox>(&f.page, "CheckBox3")->setChecked(true); // only crawlers of the checked engines
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 3), QStringList{QString::fromUtf8("百度")});
    child<QCheckBox>(&f.page, "CheckBox3")->setChecked(false);
    child<QLineEdit>(&f.page, "Edit2")->setText(QStringLiteral("/a."));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(columnTexts(child<QTableView>(&f.page, "lv2"), 1), QStringList{QStringLiteral("/a.htm")});
}

TEST(LogPage, choosingAnEntryOfTheLogFileBoxLoadsIt)
{
    PageFixture f(kIis6Header + logLine("/a.htm", "1"));
    f.folder.write("u_ex2.log", kIis6Header + logLine("/x.htm", "1") + logLine("/y.htm", "1"));
    f.page.listLogFiles(true);
    const int second = child<QComboBox>(&f.page, "cbb1")->findText(QStringLiteral("u_ex2.log"));
    ASSERT_GE(second, 0);
    child<QComboBox>(&f.page, "cbb1")->setCurrentIndex(second);
    emit child<QComboBox>(&f.page, "cbb1")->activated(second);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 2);
}

TEST(LogPage, aFailedLoadShowsTheErrorBoxAndEmptiesTheList)
{
    PageFixture f(kIis6Header + logLine("/a.htm", "1"));
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    ASSERT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 1);
    QStringList shown;
    setErrorBoxHandler([&](const QString& text) { shown << text; });
    child<QComboBox>(&f.page, "cbb1")->setEditText(QString(5000, QLatin1Char('n'))); // a name longer than any path may be
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    setErrorBoxHandler({});
    EXPECT_EQ(shown, QStringList{QStringLiteral("I/O error 36.")});
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 0);
    EXPECT_TRUE(child<QLabel>(&f.page, "Label4")->text().startsWith(QStringLiteral("无法读取日志文件: nnn")));

    child<QComboBox>(&f.page, "cbb1")->setEditText(QString()); // the folder itself: no file, no error box
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->model()->rowCount(), 0);
}

TEST(LogPage, colourBoxesRecolourTheListAtOnce)
{
    PageFixture f(kIis6Header);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->palette().color(QPalette::Base), QColor(0xA6, 0xCA, 0xF0)); // sky blue
    const int red = child<ColourBoxWidget>(&f.page, "ColorBox1")->findText(QStringLiteral("Red"));
    ASSERT_GT(red, 0);
    child<ColourBoxWidget>(&f.page, "ColorBox1")->setCurrentIndex(red);
    emit child<ColourBoxWidget>(&f.page, "ColorBox1")->activated(red);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->palette().color(QPalette::Base), QColor(Qt::red));
    child<ColourBoxWidget>(&f.page, "ColorBox2")->customColourPicker = [](ColourValue) { return std::optional<ColourValue>(0x00123456); };
    emit child<ColourBoxWidget>(&f.page, "ColorBox2")->activated(0);
    EXPECT_EQ(f.page.listText(), 0x00123456u);
    EXPECT_EQ(child<QTableView>(&f.page, "lv2")->palette().color(QPalette::Text), QColor(0x56, 0x34, 0x12));
}

TEST(LogPage, scrollingAsksOnlyForVisibleRows)
{
    std::string log = kIis6Header;
    for (int i = 0; i < 200000; ++i)
        log += logLine("/p" + std::to_string(i) + ".htm", std::to_string(i));
    TempFolder folder;
    const std::string path = folder.write("big.log", log);
    LogAnalysis analysis;
    CountingModel model(analysis);
    QTableView view;
    view.setModel(&model);
    view.verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view.verticalHeader()->setDefaultSectionSize(20);
    view.resize(800, 400);
    view.show();
    model.load(path, {});
    ASSERT_EQ(model.rowCount(), 200000);
    QApplication::processEvents();
    model.calls = 0;
    view.scrollToBottom();
    QApplication::processEvents();
    view.repaint();
    view.scrollToTop();
    QApplication::processEvents();
    view.repaint();
    const long visibleCells = (400 / 20 + 2) * kColumnCount;
    EXPECT_GT(model.calls, 0);
    EXPECT_LT(model.calls, visibleCells * 8);
}

TEST(LogPage, rowsOfAFileChangedAfterTheLoadGoWithAMessageOnTheSummaryLine)
{
    std::string log = kIis6Header;
    for (int i = 0; i < 30000; ++i)
        log += logLine("/page" + std::to_string(i) + ".htm", "15");
    struct Case {
        const char* what;
        bool cut;          // else rewritten at the same size
        bool byHeaderClick; // else by painting
    };
    const Case cases[] = {
        {"cut short, then painted", true, false},
        {"rewritten, then painted", false, false},
        {"cut short, then sorted", true, true},
        {"rewritten, then sorted", false, true},
    };
    for (const Case& c : cases) {
        PageFixture f(log);
        QAbstractItemModelTester tester(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
        QTableView* view = child<QTableView>(&f.page, "lv2");
        QLabel* summary = child<QLabel>(&f.page, "Label4");
        QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
        ASSERT_EQ(view->model()->rowCount(), 30000) << c.what;
        const std::string path = f.folder.file("u_ex1.log");
        if (c.cut) {
            ASSERT_EQ(truncate(path.c_str(), 4096), 0);
        } else {
            std::string other = log;
            std::replace(other.begin(), other.end(), 'p', 'q');
            TempFolder::writeFile(path, other);
        }
        if (c.byHeaderClick) {
            clickHeader(view->horizontalHeader(), 1);
        } else {
            view->viewport()->repaint();
            EXPECT_EQ(view->model()->index(0, 1).data().toString(), QString()) << c.what; // never the new bytes
            QApplication::processEvents();
        }
        EXPECT_EQ(view->model()->rowCount(), 0) << c.what;
        EXPECT_EQ(summary->text(), fromGbk(fileChangedText())) << c.what;
        EXPECT_EQ(f.page.selectedClientAddress(), std::nullopt) << c.what;
        if (c.cut && !c.byHeaderClick)
            screenshot(&f.page, "log_page_file_changed");
    }
}

TEST(LogPage, rowsOfAFileThatOnlyGrewStay)
{
    PageFixture f(kIis6Header + logLine("/a.htm", "1") + logLine("/b.htm", "2"));
    QTableView* view = child<QTableView>(&f.page, "lv2");
    QTest::mouseClick(child<QPushButton>(&f.page, "Button2"), Qt::LeftButton);
    const QString summary = child<QLabel>(&f.page, "Label4")->text();
    std::ofstream(f.folder.file("u_ex1.log"), std::ios::app) << logLine("/c.htm", "3");
    view->viewport()->repaint();
    QApplication::processEvents();
    clickHeader(view->horizontalHeader(), 15);
    EXPECT_EQ(columnTexts(view, 1), (QStringList{QStringLiteral("/b.htm"), QStringLiteral("/a.htm")}));
    EXPECT_EQ(child<QLabel>(&f.page, "Label4")->text(), summary);
}
