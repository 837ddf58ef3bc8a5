#include "UiTestSupport.h"
#include "gui/StatsPage.h"
#include "gui/ColorBoxWidget.h"
#include "gui/CsvExportRunner.h"
#include "gui/QtTranslations.h"
#include "support/RunProcess.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTranslator>
#include <gtest/gtest.h>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

struct Page {
    QString folder;
    StatsPage page;

    explicit Page(QString logFolder, int pointSize = 0) : folder(std::move(logFolder)), page([this] { return folder; })
    {
        if (pointSize > 0) {
            QFont font = page.font();
            font.setPointSize(pointSize);
            page.setFont(font);
        }
        page.resize(800, 600);
        page.show();
    }
    void count()
    {
        QTest::mouseClick(child<QPushButton>(&page, "Button1"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&page, "Button1")->isEnabled(); }, 30000));
    }
    QLabel* message() { return child<QLabel>(&page, "message"); }
    QTableWidget* list() { return child<QTableWidget>(&page, "lv1"); }
};

} // namespace

TEST(StatsPageComfort, saysWhenTheFolderIsMissingOrHoldsNoLogs)
{
    TempFolder folder;
    Page missing(QString::fromStdString(folder.file("gone")));
    missing.count();
    EXPECT_EQ(missing.message()->text(), QStringLiteral("日志目录不存在: ") + missing.folder);

    Page empty(QString::fromStdString(folder.path()));
    empty.count();
    EXPECT_EQ(empty.message()->text(), QStringLiteral("日志目录中没有日志文件"));

    folder.write("ex1.log", "Googlebot\r\n");
    empty.count();
    EXPECT_EQ(empty.message()->text(), QString());
}

TEST(StatsPageComfort, namesAndSizesShowWholeAndTheTableExportsAsTheCommandPrintsIt)
{
    TempFolder folder;
    const std::string longName = "ex20261202_a_very_long_log_file_name_of_the_site.log";
    folder.write(longName, std::string(3 << 20, 'x') + "\r\nBaiduspider\r\n");
    folder.write("ex9.log", "Googlebot\r\n");
    folder.write("ex10.log.gz", "damaged");
    for (int pointSize : {9, 16}) {
        Page p(QString::fromStdString(folder.path()), pointSize);
        p.count();
        ASSERT_EQ(p.list()->rowCount(), 3);
        EXPECT_EQ(p.list()->item(0, 0)->text(), QStringLiteral("ex9.log")); // numbers compare as numbers
        EXPECT_EQ(p.list()->item(1, 0)->text(), QStringLiteral("ex10.log.gz"));
        const QFontMetrics cells = p.list()->fontMetrics();
        EXPECT_GE(p.list()->columnWidth(0), cells.horizontalAdvance(QString::fromStdString(longName)));
        EXPECT_GE(p.list()->columnWidth(1), cells.horizontalAdvance(p.list()->item(2, 1)->text()));
        screenshot(&p.page, pointSize == 9 ? "stats_page_800x600" : "stats_page_16pt");

        if (pointSize != 9)
            continue;
        const std::string path = folder.file("stats.csv");
        p.page.chooseCsvPath = [&] { return QString::fromStdString(path); };
        QTest::mouseClick(child<QPushButton>(&p.page, "exportCsv"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&p.page, "exportCsv")->isEnabled(); }, 10000));
        const ProcessResult cli = runProcess({QUILLMARK_CLI_PATH, "stats", "--csv", folder.path()});
        std::remove(path.c_str());
        ASSERT_EQ(cli.exitCode, 1); // the damaged ex10.log.gz has its row and no counts
        EXPECT_EQ(cli.out.substr(0, 3), "\xEF\xBB\xBF");
        TempFolder out;
        p.page.chooseCsvPath = [&] { return QString::fromStdString(out.file("stats.csv")); };
        QTest::mouseClick(child<QPushButton>(&p.page, "exportCsv"), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return child<QPushButton>(&p.page, "exportCsv")->isEnabled(); }, 10000));
        EXPECT_EQ(readFile(out.file("stats.csv")), cli.out);
    }
}

TEST(CsvExportRunner, showsProgressAfterASecondAndCancelLeavesNoFile)
{
    QWidget page;
    CsvExportRunner runner(&page);
    QProgressBar* bar = runner.progressBar();
    QPushButton* cancel = runner.cancelButton();
    page.show();
    runner.quietMs = 200;
    CsvTable slow;
    slow.header = "h\r\n";
    slow.rows = 8192 * 400;
    slow.appendRows = [](size_t begin, size_t, std::string& out) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        out += std::to_string(begin) + "\r\n";
    };
    TempFolder folder;
    std::optional<Status> outcome;
    runner.start(slow, folder.file("slow.csv"), [&](const Status& s) { outcome = s; });
    EXPECT_TRUE(bar->isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 5000));
    EXPECT_TRUE(cancel->isVisible());
    screenshot(&page, "export_progress");
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000));
    EXPECT_EQ(outcome->message(), kCancelledMessage);
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(QtFloor, qtDialogsSpeakChineseAndTheColourBoxStaysShort)
{
    QTranslator* translator = installQtTranslations(*QCoreApplication::instance());
    ASSERT_NE(translator, nullptr) << "qt6-translations-l10n is missing";
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    QCoreApplication::removeTranslator(translator);
    delete translator;

    ColorBoxWidget box;
    EXPECT_EQ(box.maxVisibleItems(), 20);
    ASSERT_GT(box.count(), 50);
    for (int i = 1; i < box.count(); ++i)
        EXPECT_FALSE(box.itemIcon(i).isNull()) << box.itemText(i).toStdString();
    EXPECT_GE(box.findText(QStringLiteral("BtnFace")), 0); // the system colours are there, with swatches
    box.show();
    box.showPopup();
    const QAbstractItemView* popup = box.view();
    EXPECT_LE(popup->height(), 21 * popup->sizeHintForRow(1) + 8);
    box.hidePopup();
}
