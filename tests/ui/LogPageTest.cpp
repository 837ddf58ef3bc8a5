#include "gui/LogPage.h"

#include "HostileLogFolder.h"
#include "UiTestSupport.h"
#include "gui/ColourBoxWidget.h"
#include "gui/LogRecordModel.h"
#include "gui/QtGbk.h"
#include "logsource/LogPathCheck.h"

#include <QAbstractItemModelTester>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
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

std::string visit(const char* stem, const char* timeTaken = "15", const char* agent = "Mozilla/4.0")
{
    return iisLine({.stem = stem, .agent = agent, .timeTaken = timeTaken});
}

// The log page over a folder holding one log, "u_ex1.log", listed but not loaded yet.
struct PageFixture {
    TempFolder folder;
    LogAnalysis analysis;
    LogPage page{analysis, {}};

    explicit PageFixture(const std::string& log, int pointSize = 0)
    {
        if (pointSize > 0)
            setPointSize(&page, pointSize);
        folder.write("u_ex1.log", log);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(800, 600);
        page.show();
    }
    QTableView* list() const { return child<QTableView>(&page, "lv2"); }
    QHeaderView* header() const { return list()->horizontalHeader(); }
    QLabel* summary() const { return child<QLabel>(&page, "Label4"); }
    QComboBox* fileBox() const { return child<QComboBox>(&page, "cbb1"); }
    QLineEdit* searchBox() const { return child<QLineEdit>(&page, "Edit2"); }
    QCheckBox* box(const char* name) const { return child<QCheckBox>(&page, name); }
    ColourBoxWidget* colourBox(const char* name) const { return child<ColourBoxWidget>(&page, name); }
    int rows() const { return list()->model()->rowCount(); }
    QStringList column(int column) const { return columnTexts(list(), column); }
    // "刷新日志", as a click.
    void reload() const { QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton); }
};

std::string sampleLog()
{
    return kIis6Header + visit("/index.htm", "30") + visit("/a/very/long/path/of/the/site/page.htm", "5") +
           visit("/b.htm", "100", "Baiduspider");
}

} // namespace

TEST(LogPage, loadsTheChosenFileAndSortsOnHeaderClicks)
{
    PageFixture f(kIis6Header + visit("/a.htm", "15") + visit("/b.gif", "9") + visit("/c.htm", "1500") +
                  visit("/d.htm", "200"));
    QAbstractItemModelTester tester(f.page.model(), QAbstractItemModelTester::FailureReportingMode::Fatal);
    EXPECT_EQ(f.rows(), 0); // listing selects the file but loads nothing
    f.reload();
    EXPECT_EQ(f.column(1), (QStringList{u("/a.htm"), u("/c.htm"), u("/d.htm")}));
    EXPECT_TRUE(f.summary()->text().startsWith(u("用时: ")));
    EXPECT_TRUE(f.summary()->text().endsWith(u("共有 3条记录")));

    EXPECT_EQ(f.page.model()->headerData(15, Qt::Horizontal).toString(), u("用时"));
    clickHeader(f.header(), 15);
    EXPECT_EQ(f.column(15), (QStringList{u("1500"), u("200"), u("15")}));
    clickHeader(f.header(), 15);
    EXPECT_EQ(f.column(15), (QStringList{u("15"), u("200"), u("1500")}));
    clickHeader(f.header(), 16);
    clickHeader(f.header(), 0);
    EXPECT_EQ(f.column(1), (QStringList{u("/a.htm"), u("/c.htm"), u("/d.htm")}));
    EXPECT_EQ(f.column(0), (QStringList{u("0"), u("1"), u("2")}));
    screenshot(&f.page, "log-page-sorted");
}

TEST(LogPage, theSortedColumnShowsItsDirection)
{
    PageFixture f(sampleLog());
    f.reload();
    EXPECT_TRUE(f.header()->isSortIndicatorShown());
    EXPECT_EQ(f.header()->sortIndicatorSection(), -1); // file order
    clickHeader(f.header(), 15);
    EXPECT_EQ(f.header()->sortIndicatorSection(), 15);
    const Qt::SortOrder first = f.header()->sortIndicatorOrder();
    EXPECT_EQ(first == Qt::DescendingOrder, f.analysis.sortDescending());
    clickHeader(f.header(), 15);
    EXPECT_NE(f.header()->sortIndicatorOrder(), first);
    clickHeader(f.header(), 0); // "序号" restores file order
    EXPECT_EQ(f.header()->sortIndicatorSection(), -1);
    clickHeader(f.header(), 1);
    EXPECT_EQ(f.header()->sortIndicatorSection(), 1);
    screenshot(&f.page, "log_page_sorted_by_url");
    f.reload(); // a new load stands in file order
    EXPECT_EQ(f.header()->sortIndicatorSection(), -1);
}

TEST(LogPage, filterBoxesApplyAtTheNextLoad)
{
    PageFixture f(kIis6Header + visit("/a.htm", "1") + visit("/b.gif", "2") +
                  visit("/c.htm", "3", "Baiduspider+(+http://x/)"));
    f.reload();
    EXPECT_EQ(f.rows(), 2);
    f.box("CheckBox1")->setChecked(false);
    EXPECT_EQ(f.rows(), 2);
    f.reload();
    EXPECT_EQ(f.rows(), 3);
    f.box("CheckBox3")->setChecked(true); // only crawlers of the checked engines
    f.reload();
    EXPECT_EQ(f.column(3), QStringList{u("百度")});
    f.box("CheckBox3")->setChecked(false);
    f.searchBox()->setText(u("/a."));
    f.reload();
    EXPECT_EQ(f.column(1), QStringList{u("/a.htm")});
}

TEST(LogPage, enterInTheSearchBoxReloadsAndEmptyBoxesSayWhatTheyAreFor)
{
    PageFixture f(sampleLog());
    EXPECT_FALSE(f.searchBox()->placeholderText().isEmpty());
    EXPECT_FALSE(f.fileBox()->lineEdit()->placeholderText().isEmpty());
    f.searchBox()->setFocus();
    QTest::keyClicks(f.searchBox(), u("index"));
    QTest::keyClick(f.searchBox(), Qt::Key_Return);
    EXPECT_EQ(f.rows(), 1);
    f.searchBox()->clear();
    QTest::keyClick(f.searchBox(), Qt::Key_Enter);
    EXPECT_EQ(f.rows(), 3);
}

TEST(LogPage, choosingAnEntryOfTheLogFileBoxLoadsIt)
{
    PageFixture f(kIis6Header + visit("/a.htm"));
    f.folder.write("u_ex2.log", kIis6Header + visit("/x.htm") + visit("/y.htm"));
    f.page.listLogFiles(true);
    const int second = f.fileBox()->findText(u("u_ex2.log"));
    ASSERT_GE(second, 0);
    f.fileBox()->setCurrentIndex(second);
    emit f.fileBox()->activated(second);
    EXPECT_EQ(f.rows(), 2);
}

TEST(LogPage, saysWhyNothingWasLoadedInsteadOfKeepingTheOldCount)
{
    PageFixture f(sampleLog());
    f.reload();
    ASSERT_TRUE(f.summary()->text().contains(u("共有 3条记录")));
    std::filesystem::create_directory(f.folder.file("dir.log"));
    const QString folder = QString::fromStdString(f.folder.path());

    const struct {
        QString logFolder;
        QString name;
        QString summary;
    } cases[] = {
        {folder + u("/gone"), u("u_ex1.log"), u("日志目录不存在: ") + folder + u("/gone")},
        {folder, u("u_ex8.log"), u("找不到日志文件: u_ex8.log")},
        {folder, u("dir.log"), u("这是文件夹, 不是日志文件: dir.log")},
        {folder, QString(), u("请选择或输入日志文件名")},
    };
    for (const auto& c : cases) {
        f.page.setLogFolder(c.logFolder);
        f.fileBox()->setEditText(c.name);
        f.reload();
        EXPECT_EQ(f.summary()->text(), c.summary);
        EXPECT_EQ(f.rows(), 0);
    }
}

TEST(LogPage, aFailedLoadShowsTheErrorBoxAndEmptiesTheList)
{
    PageFixture f(kIis6Header + visit("/a.htm"));
    f.reload();
    ASSERT_EQ(f.rows(), 1);
    {
        MessageBoxes boxes;
        f.fileBox()->setEditText(QString(5000, QLatin1Char('n'))); // a name longer than any path may be
        f.reload();
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].text, u("I/O error 36."));
        EXPECT_EQ(boxes.shown()[0].title, u("Quillmarkbox"));
        EXPECT_TRUE(boxes.shown()[0].critical);
    }
    EXPECT_EQ(f.rows(), 0);
    EXPECT_TRUE(f.summary()->text().startsWith(u("无法读取日志文件: nnn")));

    f.fileBox()->setEditText(QString()); // the folder itself: no file, no error box
    f.reload();
    EXPECT_EQ(f.rows(), 0);
}

TEST(LogPage, colourBoxesRecolourTheListAtOnce)
{
    PageFixture f(kIis6Header);
    EXPECT_EQ(f.list()->palette().color(QPalette::Base), QColor(0xA6, 0xCA, 0xF0)); // sky blue
    const int red = f.colourBox("ColorBox1")->findText(u("Red"));
    ASSERT_GT(red, 0);
    f.colourBox("ColorBox1")->setCurrentIndex(red);
    emit f.colourBox("ColorBox1")->activated(red);
    EXPECT_EQ(f.list()->palette().color(QPalette::Base), QColor(Qt::red));

    // "自定义..." asks the colour dialog.
    answerNextDialog<QColorDialog>([](QColorDialog* dialog) {
        dialog->setCurrentColor(QColor(0x56, 0x34, 0x12));
        dialog->accept();
    });
    emit f.colourBox("ColorBox2")->activated(0);
    EXPECT_EQ(f.page.listText(), 0x00123456u);
    EXPECT_EQ(f.list()->palette().color(QPalette::Text), QColor(0x56, 0x34, 0x12));
    // Cancelling the dialog keeps the colour.
    answerNextDialog<QColorDialog>([](QColorDialog* dialog) { dialog->reject(); });
    emit f.colourBox("ColorBox2")->activated(0);
    EXPECT_EQ(f.page.listText(), 0x00123456u);
}

TEST(LogPage, controlsFitTheirTextsAndColumnsTheirCaptionsAtAnyFontSize)
{
    for (int pointSize : {9, 16}) {
        PageFixture f(sampleLog(), pointSize);
        f.reload();
        EXPECT_EQ(layoutFaults(&f.page), QStringList()) << pointSize << " pt";
        const QFontMetrics cells = f.list()->fontMetrics();
        for (int column = 0; column < kColumnCount; ++column) {
            const QString caption = f.list()->model()->headerData(column, Qt::Horizontal).toString();
            EXPECT_GE(f.header()->sectionSize(column), f.header()->fontMetrics().horizontalAdvance(caption) + 8)
                << pointSize << " pt, column " << column;
        }
        // Texts that fixed widths would cut short at a large font.
        EXPECT_GE(f.header()->sectionSize(kColDate), cells.horizontalAdvance(u("2026-12-01")));
        EXPECT_GE(f.header()->sectionSize(9), cells.horizontalAdvance(u("00:00:01")));
        EXPECT_GE(f.header()->sectionSize(kColClientIp), cells.horizontalAdvance(u("192.168.100.200")));
        screenshot(&f.page, pointSize == 9 ? "log_page_800x600" : "log_page_16pt");
    }
}

TEST(LogPage, aDoubleClickOnAColumnEdgeFitsItsContents)
{
    PageFixture f(sampleLog());
    f.reload();
    const int column = kColUriStem;
    const QPoint edge(f.header()->sectionViewportPosition(column) + f.header()->sectionSize(column) - 1,
                      f.header()->height() / 2);
    QTest::mouseDClick(f.header()->viewport(), Qt::LeftButton, {}, edge);
    EXPECT_GE(f.header()->sectionSize(column),
              f.list()->fontMetrics().horizontalAdvance(u("/a/very/long/path/of/the/site/page.htm")));
    EXPECT_EQ(f.header()->sortIndicatorSection(), -1); // a double-click on an edge sorts nothing
}

TEST(LogPage, scrollingAsksOnlyForVisibleRows)
{
    std::string log = kIis6Header;
    for (int i = 0; i < 200000; ++i)
        log += iisLine({.stem = "/p" + std::to_string(i) + ".htm", .timeTaken = std::to_string(i)});
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
        log += visit(("/page" + std::to_string(i) + ".htm").c_str());
    struct Case {
        const char* what;
        bool cut;           // else rewritten at the same size
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
        f.reload();
        ASSERT_EQ(f.rows(), 30000) << c.what;
        const std::string path = f.folder.file("u_ex1.log");
        if (c.cut) {
            ASSERT_EQ(truncate(path.c_str(), 4096), 0);
        } else {
            std::string other = log;
            std::replace(other.begin(), other.end(), 'p', 'q');
            TempFolder::writeFile(path, other);
        }
        if (c.byHeaderClick) {
            clickHeader(f.header(), 1);
        } else {
            f.list()->viewport()->repaint();
            EXPECT_EQ(f.list()->model()->index(0, 1).data().toString(), QString()) << c.what; // never the new bytes
            QApplication::processEvents();
        }
        EXPECT_EQ(f.rows(), 0) << c.what;
        EXPECT_EQ(f.summary()->text(), fromGbk(fileChangedText())) << c.what;
        EXPECT_EQ(f.page.selectedClientAddress(), std::nullopt) << c.what;
        if (c.cut && !c.byHeaderClick)
            screenshot(&f.page, "log_page_file_changed");
    }
}

TEST(LogPage, rowsOfAFileThatOnlyGrewStay)
{
    PageFixture f(kIis6Header + visit("/a.htm", "1") + visit("/b.htm", "2"));
    f.reload();
    const QString summary = f.summary()->text();
    std::ofstream(f.folder.file("u_ex1.log"), std::ios::app) << visit("/c.htm", "3");
    f.list()->viewport()->repaint();
    QApplication::processEvents();
    clickHeader(f.header(), 15);
    EXPECT_EQ(f.column(1), (QStringList{u("/b.htm"), u("/a.htm")}));
    EXPECT_EQ(f.summary()->text(), summary);
}

TEST(LogPage, aiSpidersKeepsTheAiGroupsVisits)
{
    TempFolder folder;
    std::string log = kIis6Header;
    for (const char* agent : {"Mozilla/5.0+(compatible;+GPTBot/1.3)", "Mozilla/5.0+(compatible;+GPTBot/1.3)",
                              "Mozilla/5.0+(compatible;+Googlebot/2.1)", "notGPTBot/1.0", "Perplexity-User/1.0"})
        log += iisLine({.stem = "/a.htm", .agent = agent});
    folder.write("u_ex1.log", log);
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

TEST(LogPage, loadsOrSaysWhyForEachHostileEntry)
{
    HostileFolder hostile(false);
    MessageBoxes boxes;
    {
        LogAnalysis analysis;
        LogPage page(analysis, {});
        page.setLogFolder(hostile.path());
        page.listLogFiles(false);
        page.resize(900, 420);
        page.show();
        QComboBox* files = child<QComboBox>(&page, "cbb1");
        const QLabel* summary = child<QLabel>(&page, "Label4");
        for (const Entry& entry : kEntries) {
            boxes.clear();
            files->setCurrentText(QString::fromUtf8(entry.name));
            QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
            if (*entry.message) {
                EXPECT_EQ(summary->text(), QString::fromUtf8("无法读取日志文件: ") + QString::fromUtf8(entry.name) +
                                               QStringLiteral(" (") + QString::fromUtf8(entry.message) +
                                               QStringLiteral(")"));
                EXPECT_EQ(boxes.texts().size(), 1) << entry.name;
                EXPECT_EQ(page.model()->rowCount(), 0) << entry.name;
            } else {
                EXPECT_TRUE(summary->text().endsWith(QString::fromUtf8("共有 2条记录"))) << entry.name;
                EXPECT_EQ(page.model()->rowCount(), 2) << entry.name;
            }
        }
        files->setCurrentText(QStringLiteral("d.log"));
        QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
        EXPECT_EQ(summary->text(), fromGbk(logPathProblemText(LogPathProblem::FolderNotFile)) + QStringLiteral("d.log"));
        screenshot(&page, "log-page-hostile");
    }
}
