// The statistics page over a folder of hostile entries: every entry ends with its message, and a
// page closed while a pipe keeps it waiting closes at once.
#include "gui/StatsPage.h"

#include "HostileLogFolder.h"
#include "UiTestSupport.h"
#include "support/DnsTestServer.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

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

TEST(StatsPage, showsEachHostileEntrysMessageAndClosesWhileAPipeWaits)
{
    countAndCloseWhileAPipeWaits(false);
}

TEST(StatsPage, onlyVerifiedShowsEachHostileEntrysMessageAndClosesWhileAPipeWaits)
{
    countAndCloseWhileAPipeWaits(true);
}
