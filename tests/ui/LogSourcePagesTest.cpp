// The log page and the statistics page over a folder of hostile entries: every entry ends with
// its message, and a page closed while a pipe keeps it waiting closes at once.
#include "UiTestSupport.h"
#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "gui/QtGbk.h"
#include "gui/StatsPage.h"
#include "logs/LogAnalysis.h"
#include "logsource/LogPathCheck.h"
#include "support/Archives.h"
#include "support/DnsTestServer.h"
#include "support/PipeWriter.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace quill;
using namespace quill::test;

namespace {

const std::string kLog = kIis6Header + iisLine({.stem = "/a.htm"}) + iisLine({.stem = "/b.htm", .agent = "Baiduspider"});

struct Entry {
    const char* name;
    const char* message; // empty: the entry reads as kLog
};

// In name order; the quiet pipe comes last and keeps whoever reads it waiting.
const Entry kEntries[] = {
    {"a.log", ""},
    {"b.log", "No program writes to this pipe"},
    {"c.log", "Not a regular file or a pipe"},
    {"e.log.gz", "压缩文件已损坏: unexpected end of data"},
    {"f.log.gz", ""},
    {"g.zip", "A ZIP archive cannot be read from a pipe"},
};

struct HostileFolder {
    TempFolder folder;
    std::vector<std::unique_ptr<PipeWriter>> pipes;

    explicit HostileFolder(bool quietPipe)
    {
        folder.write("a.log", kLog);
        mkfifo(folder.file("b.log").c_str(), 0600);
        std::filesystem::create_symlink("/dev/zero", folder.file("c.log"));
        std::filesystem::create_directory(folder.file("d.log"));
        const std::string packed = gzipBytes(kLog);
        folder.write("e.log.gz", packed.substr(0, packed.size() - 12));
        pipes.push_back(std::make_unique<PipeWriter>(folder.file("f.log.gz"), packed));
        pipes.push_back(std::make_unique<PipeWriter>(folder.file("g.zip"), zipBytes({{"g.log", kLog}})));
        if (quietPipe) // half a line, then nothing: the reader waits for the rest
            pipes.push_back(std::make_unique<PipeWriter>(folder.file("z.log"), "GET / 200 Baidu", PipeWriter::Then::StayQuiet));
    }
    QString path() const { return QString::fromStdString(folder.path()); }
};

QStringList countCells(const QTableWidget* list, int row, int firstCount)
{
    QStringList cells;
    for (int column = firstCount; column < list->columnCount(); ++column)
        cells << list->item(row, column)->text();
    return cells;
}

void countAndCloseWhileAPipeWaits(bool onlyVerified)
{
    HostileFolder hostile(true);
    DnsTestServer dns; // knows no address: the crawler line of a read log is checked here, quickly
    StatsPage::Options options;
    options.logFolder = [&] { return hostile.path(); };
    options.verifier.emplace();
    options.verifier->dns.server = dns.address();
    options.verifier->dns.timeoutMs = 150;
    auto page = std::make_unique<StatsPage>(std::move(options));
    page->setOnlyVerified(onlyVerified);
    page->setVerdictCachePath(hostile.folder.file("verdicts.txt"));
    page->resize(900, 420);
    page->show();
    QTest::mouseClick(child<QPushButton>(page.get(), "Button1"), Qt::LeftButton);
    const QTableWidget* list = child<QTableWidget>(page.get(), "lv1");
    const int rowsPerLog = onlyVerified ? 3 : 1; // verified, fake, undecided
    const int firstCount = onlyVerified ? 3 : 2;  // after the group's own column
    const int rows = static_cast<int>(std::size(kEntries)) * rowsPerLog;
    ASSERT_TRUE(waitUntil([&] { return list->rowCount() == rows; }, 60000)) << list->rowCount();
    for (int i = 0; i < static_cast<int>(std::size(kEntries)); ++i) {
        const Entry& entry = kEntries[i];
        const int row = i * rowsPerLog;
        EXPECT_EQ(list->item(row, 0)->text(), QString::fromUtf8(entry.name));
        if (*entry.message) {
            EXPECT_EQ(list->item(row, 0)->toolTip(), Qt::convertFromPlainText(QString::fromUtf8(entry.message))) << entry.name;
            EXPECT_EQ(countCells(list, row, firstCount).join(QString()), QString()) << entry.name;
        } else {
            EXPECT_EQ(countCells(list, row, firstCount), countCells(list, 0, firstCount)) << entry.name; // read like a.log
        }
    }
    screenshot(page.get(), onlyVerified ? "stats-page-hostile-verified" : "stats-page-hostile");
    // The run now waits in z.log, whose writer never writes: closing must not wait with it.
    QTest::qWait(100);
    EXPECT_TRUE(page->isCounting());
    page->close();
    page.reset(); // returns only once the worker has let go of the pipe
}

} // namespace

TEST(LogSourcePages, statisticsPageShowsEachEntrysMessageAndClosesWhileAPipeWaits)
{
    countAndCloseWhileAPipeWaits(false);
}

TEST(LogSourcePages, verifiedStatisticsPageShowsEachEntrysMessageAndClosesWhileAPipeWaits)
{
    countAndCloseWhileAPipeWaits(true);
}

TEST(LogSourcePages, logPageLoadsOrSaysWhyForEachEntry)
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
