#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "gui/ColumnWidths.h"
#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "logs/RecordsCsv.h"
#include "gui/BusyCursor.h"
#include "gui/ErrorBoxDialog.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

struct Page {
    TempFolder folder;
    LogAnalysis analysis;
    LogPage page{analysis};

    explicit Page(const std::string& log, int pointSize = 0)
    {
        if (pointSize > 0) {
            QFont font = page.font();
            font.setPointSize(pointSize);
            page.setFont(font);
        }
        folder.write("u_ex9.log", log);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(800, 600);
        page.show();
    }
    QComboBox* fileBox() { return child<QComboBox>(&page, "cbb1"); }
    QLabel* summary() { return child<QLabel>(&page, "Label4"); }
    QTableView* list() { return child<QTableView>(&page, "lv2"); }
    void reload() { QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton); }
};

std::string sampleLog()
{
    return kIis6Header + logLine("/index.htm", "30") + logLine("/a/very/long/path/of/the/site/page.htm", "5") +
           logLine("/b.htm", "100", "Baiduspider");
}

} // namespace

TEST(LogPageComfort, saysWhyNothingWasLoadedInsteadOfKeepingTheOldCount)
{
    Page p(sampleLog());
    p.reload();
    ASSERT_TRUE(p.summary()->text().contains(QStringLiteral("共有 3条记录")));
    std::filesystem::create_directory(p.folder.file("dir.log"));
    const QString folder = QString::fromStdString(p.folder.path());

    const struct {
        QString logFolder;
        QString name;
        QString summary;
    } cases[] = {
        {folder + QStringLiteral("/gone"), QStringLiteral("u_ex9.log"), QStringLiteral("日志目录不存在: ") + folder + QStringLiteral("/gone")},
        {folder, QStringLiteral("u_ex8.log"), QStringLiteral("找不到日志文件: u_ex8.log")},
        {folder, QStringLiteral("dir.log"), QStringLiteral("这是文件夹, 不是日志文件: dir.log")},
        {folder, QString(), QStringLiteral("请选择或输入日志文件名")},
    };
    for (const auto& c : cases) {
        p.page.setLogFolder(c.logFolder);
        p.fileBox()->setEditText(c.name);
        p.reload();
        EXPECT_EQ(p.summary()->text(), c.summary);
        EXPECT_EQ(p.list()->model()->rowCount(), 0);
    }
}

TEST(LogPageComfort, placeholdersAndEnterInTheSearchBoxReloads)
{
    Page p(sampleLog());
    auto* search = child<QLineEdit>(&p.page, "Edit2");
    EXPECT_FALSE(search->placeholderText().isEmpty());
    EXPECT_FALSE(p.fileBox()->lineEdit()->placeholderText().isEmpty());
    search->setFocus();
    QTest::keyClicks(search, QStringLiteral("index"));
    QTest::keyClick(search, Qt::Key_Return);
    EXPECT_EQ(p.list()->model()->rowCount(), 1);
    search->clear();
    QTest::keyClick(search, Qt::Key_Enter);
    EXPECT_EQ(p.list()->model()->rowCount(), 3);
}

TEST(LogPageComfort, theSortedColumnShowsItsDirection)
{
    Page p(sampleLog());
    p.reload();
    QHeaderView* header = p.list()->horizontalHeader();
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), -1); // file order
    clickHeader(header, 15);
    EXPECT_EQ(header->sortIndicatorSection(), 15);
    const Qt::SortOrder first = header->sortIndicatorOrder();
    EXPECT_EQ(first == Qt::DescendingOrder, p.analysis.sortDescending());
    clickHeader(header, 15);
    EXPECT_NE(header->sortIndicatorOrder(), first);
    clickHeader(header, 0); // "序号" restores file order
    EXPECT_EQ(header->sortIndicatorSection(), -1);
    clickHeader(header, 1);
    EXPECT_EQ(header->sortIndicatorSection(), 1);
    screenshot(&p.page, "log_page_sorted_by_url");
    p.reload(); // a new load stands in file order
    EXPECT_EQ(header->sortIndicatorSection(), -1);
}

TEST(LogPageComfort, columnsFitTheFontAndADoubleClickFitsTheContents)
{
    for (int pointSize : {9, 16}) {
        Page p(sampleLog(), pointSize);
        p.reload();
        const QHeaderView* header = p.list()->horizontalHeader();
        const QFontMetrics cells = p.list()->fontMetrics();
        for (int column = 0; column < kColumnCount; ++column) {
            const QString caption = p.list()->model()->headerData(column, Qt::Horizontal).toString();
            EXPECT_GE(header->sectionSize(column), header->fontMetrics().horizontalAdvance(caption) + 8)
                << pointSize << " pt, column " << column;
            EXPECT_GE(header->sectionSize(column), LogRecordModel::width(column)) << column;
        }
        // The texts that the original fixed widths cut short at this font.
        EXPECT_GE(header->sectionSize(kColDate), cells.horizontalAdvance(QStringLiteral("2026-12-01")));
        EXPECT_GE(header->sectionSize(9), cells.horizontalAdvance(QStringLiteral("00:00:01")));
        EXPECT_GE(header->sectionSize(kColClientIp), cells.horizontalAdvance(QStringLiteral("192.168.100.200")));
        screenshot(&p.page, pointSize == 9 ? "log_page_800x600" : "log_page_16pt");
    }

    Page p(sampleLog());
    p.reload();
    QHeaderView* header = p.list()->horizontalHeader();
    const int column = kColUriStem;
    const QPoint edge(header->sectionViewportPosition(column) + header->sectionSize(column) - 1, header->height() / 2);
    QTest::mouseDClick(header->viewport(), Qt::LeftButton, {}, edge);
    EXPECT_GE(header->sectionSize(column),
              p.list()->fontMetrics().horizontalAdvance(QStringLiteral("/a/very/long/path/of/the/site/page.htm")));
    EXPECT_EQ(header->sortIndicatorSection(), -1); // a double-click on an edge sorts nothing
}

TEST(LogPageComfort, exportWritesTheListAsItStands)
{
    Page p(sampleLog());
    p.reload();
    clickHeader(p.list()->horizontalHeader(), 1);
    const std::string path = p.folder.file("list.csv");
    p.page.chooseCsvPath = [&] { return QString::fromStdString(path); };
    QTest::mouseClick(child<QPushButton>(&p.page, "exportCsv"), Qt::LeftButton);
    EXPECT_FALSE(child<QPushButton>(&p.page, "Button2")->isEnabled()); // the store stays as it is meanwhile
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.page.isExporting(); }, 10000));
    EXPECT_TRUE(child<QPushButton>(&p.page, "Button2")->isEnabled());
    EXPECT_TRUE(child<QProgressBar>(&p.page, "exportProgress")->isHidden()); // a quick export shows no progress

    TempFolder reference;
    ASSERT_TRUE(exportCsvFile(recordsCsv(p.analysis.store()), reference.file("r.csv")).ok());
    EXPECT_EQ(readFile(path), readFile(reference.file("r.csv")));

    // A folder that cannot take the file: the error box, and no file.
    QStringList shown;
    setErrorBoxHandler([&](const QString& text) { shown << text; });
    p.page.chooseCsvPath = [&] { return QString::fromStdString(p.folder.file("missing/list.csv")); };
    QTest::mouseClick(child<QPushButton>(&p.page, "exportCsv"), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.page.isExporting(); }, 10000));
    setErrorBoxHandler({});
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Unable to write to ")));
}

TEST(LogPageComfort, exportWritesFormulaStartsAsTextUnlessTheSettingsSayVerbatim)
{
    Page p(kIis6Header + logLine("/a.htm", "30", "=HYPERLINK(\"http://evil.test/\",\"x\")"));
    p.reload();
    const std::string path = p.folder.file("list.csv");
    p.page.chooseCsvPath = [&] { return QString::fromStdString(path); };
    for (const CsvCells cells : {CsvCells::Neutralised, CsvCells::Verbatim}) {
        p.page.setCsvCells(cells);
        QTest::mouseClick(child<QPushButton>(&p.page, "exportCsv"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !p.page.isExporting(); }, 10000));
        const bool quoted = readFile(path).find(",\"'=HYPERLINK(") != std::string::npos;
        EXPECT_EQ(quoted, cells == CsvCells::Neutralised);
        EXPECT_NE(readFile(path).find("=HYPERLINK("), std::string::npos);
    }
}

TEST(LogPageComfort, anExportOfAChangedFileWritesNothingAndEmptiesTheList)
{
    Page p(sampleLog());
    p.reload();
    ASSERT_EQ(p.list()->model()->rowCount(), 3);
    std::filesystem::resize_file(p.folder.file("u_ex9.log"), std::string(kIis6Header).size() + 5); // cut short after the load
    QStringList shown;
    setErrorBoxHandler([&](const QString& text) { shown << text; });
    const std::string path = p.folder.file("list.csv");
    p.page.chooseCsvPath = [&] { return QString::fromStdString(path); };
    p.page.exportCsv();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.page.isExporting(); }, 10000));
    setErrorBoxHandler({});
    const QString changed = QString::fromUtf8("日志文件在加载后被改动，记录已清空，请重新加载");
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].startsWith(changed)) << shown[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(p.list()->model()->rowCount(), 0);
    EXPECT_EQ(p.summary()->text(), changed);
}

TEST(LogPageComfort, aBusyCursorShowsOnlyOverLongWork)
{
    EXPECT_FALSE(expectLongLoad(10u << 20, false));
    EXPECT_TRUE(expectLongLoad(1u << 30, false));
    EXPECT_TRUE(expectLongLoad(100u << 20, true));
    EXPECT_FALSE(expectLongSort(10'000));
    EXPECT_TRUE(expectLongSort(4'000'000));
    {
        BusyCursor quick(false);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }
    {
        BusyCursor slow(true);
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(LogPageComfort, widthsTheUserSetsAreKeptInTheSettingsFile)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QStringLiteral(QUILLMARK_SAMPLES_DIR);
    int fitted = 0;
    {
        MainWindow form(options);
        form.show();
        QHeaderView* header = child<QTableView>(&form, "lv2")->horizontalHeader();
        fitted = header->sectionSize(kColReferrer);
        header->resizeSection(kColReferrer, fitted + 77); // as a drag on the edge does
        ASSERT_TRUE(QTest::qWaitFor([&] { return readFile(options.settingsPath).find("lv2=") != std::string::npos; }, 5000));
    }
    MainWindow again(options);
    again.show();
    const QHeaderView* header = child<QTableView>(&again, "lv2")->horizontalHeader();
    EXPECT_EQ(header->sectionSize(kColReferrer), fitted + 77);
    EXPECT_EQ(header->sectionSize(kColDate), scaledColumnWidth(header, kColDate, 70)); // untouched: fitted
}
