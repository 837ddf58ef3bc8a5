#include "gui/LogPage.h"

#include "UiTestSupport.h"
#include "gui/LogRecordModel.h"
#include "logs/RecordsCsv.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string threeRows()
{
    return kIis6Header + iisLine({.stem = "/index.htm"}) + iisLine({.stem = "/a.htm"}) +
           iisLine({.stem = "/b.htm", .agent = "Baiduspider"});
}

// The log page over a loaded log (three rows unless told); "导出CSV" writes to whatever `csvPath` names.
struct ExportFixture {
    TempFolder folder;
    LogAnalysis analysis;
    std::string csvPath = folder.file("list.csv");
    LogPage page{analysis, options()};

    explicit ExportFixture(const std::string& log = threeRows())
    {
        folder.write("u_ex9.log", log);
        page.setLogFolder(QString::fromStdString(folder.path()));
        page.listLogFiles(true);
        page.resize(800, 600);
        page.show();
        QTest::mouseClick(child<QPushButton>(&page, "Button2"), Qt::LeftButton);
    }
    LogPage::Options options()
    {
        LogPage::Options options;
        options.chooseCsvPath = [this](QWidget*, const QString&) { return QString::fromStdString(csvPath); };
        return options;
    }
    QTableView* list() const { return child<QTableView>(&page, "lv2"); }
    QPushButton* reloadButton() const { return child<QPushButton>(&page, "Button2"); }
    // "导出CSV", as a click; true once the export has ended.
    bool exportList() const
    {
        QTest::mouseClick(child<QPushButton>(&page, "exportCsv"), Qt::LeftButton);
        return QTest::qWaitFor([&] { return !page.isExporting(); }, 10000);
    }
};

} // namespace

TEST(LogPageExport, writesTheListAsItStands)
{
    ExportFixture f;
    clickHeader(f.list()->horizontalHeader(), 1);
    QTest::mouseClick(child<QPushButton>(&f.page, "exportCsv"), Qt::LeftButton);
    EXPECT_FALSE(f.reloadButton()->isEnabled()); // the store stays as it is meanwhile
    ASSERT_TRUE(QTest::qWaitFor([&] { return !f.page.isExporting(); }, 10000));
    EXPECT_TRUE(f.reloadButton()->isEnabled());
    EXPECT_TRUE(child<QProgressBar>(&f.page, "exportProgress")->isHidden()); // a quick export shows no progress

    TempFolder reference;
    ASSERT_TRUE(exportCsvFile(recordsCsv(f.analysis.store()), reference.file("r.csv")).ok());
    EXPECT_EQ(readFile(f.csvPath), readFile(reference.file("r.csv")));
}

TEST(LogPageExport, aFolderThatCannotTakeTheFileShowsTheErrorBox)
{
    ExportFixture f;
    f.csvPath = f.folder.file("missing/list.csv");
    MessageBoxes boxes;
    ASSERT_TRUE(f.exportList());
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(u("Unable to write to ")));
    EXPECT_FALSE(std::filesystem::exists(f.csvPath));
}

TEST(LogPageExport, anExportOfAChangedFileWritesNothingAndEmptiesTheList)
{
    ExportFixture f;
    ASSERT_EQ(f.list()->model()->rowCount(), 3);
    std::filesystem::resize_file(f.folder.file("u_ex9.log"), std::string(kIis6Header).size() + 5); // cut short after the load
    MessageBoxes boxes;
    ASSERT_TRUE(f.exportList());
    const QString changed = u("日志文件在加载后被改动，记录已清空，请重新加载");
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(changed)) << boxes.texts()[0].toStdString();
    EXPECT_FALSE(std::filesystem::exists(f.csvPath));
    EXPECT_EQ(f.list()->model()->rowCount(), 0);
    EXPECT_EQ(child<QLabel>(&f.page, "Label4")->text(), changed);
}

TEST(LogPageExport, writesFormulaStartsAsTextUnlessTheSettingsSayVerbatim)
{
    ExportFixture f(kIis6Header + iisLine({.stem = "/a.htm", .agent = "=HYPERLINK(\"http://evil.test/\",\"x\")"}));
    for (const CsvCells cells : {CsvCells::Neutralised, CsvCells::Verbatim}) {
        f.page.setCsvCells(cells);
        ASSERT_TRUE(f.exportList());
        const bool quoted = readFile(f.csvPath).find(",\"'=HYPERLINK(") != std::string::npos;
        EXPECT_EQ(quoted, cells == CsvCells::Neutralised);
        EXPECT_NE(readFile(f.csvPath).find("=HYPERLINK("), std::string::npos);
    }
}

TEST(LogPageExport, aNameWithoutExtensionGetsCsvAndTheDoneExportSaysWhere)
{
    ExportFixture f;
    f.csvPath = f.folder.file("report");
    ASSERT_TRUE(f.exportList());
    EXPECT_TRUE(std::filesystem::exists(f.folder.file("report.csv")));
    EXPECT_FALSE(std::filesystem::exists(f.csvPath));
    EXPECT_EQ(child<QLabel>(&f.page, "Label4")->text(), u("已导出 3 行到 ") + QString::fromStdString(f.folder.file("report.csv")));
}
