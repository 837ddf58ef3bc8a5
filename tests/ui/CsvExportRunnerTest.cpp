#include "gui/CsvExportRunner.h"

#include "UiTestSupport.h"

#include <QProgressBar>
#include <QPushButton>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

// A table of many pieces, each written slowly, so an export runs long enough to be watched.
CsvTable slowTable(size_t pieces)
{
    CsvTable slow;
    slow.header = "h\r\n";
    slow.rows = 8192 * pieces;
    slow.appendRows = [](size_t begin, size_t, std::string& out) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        out += std::to_string(begin) + "\r\n";
    };
    return slow;
}

} // namespace

TEST(CsvExportRunner, showsProgressAfterAWhileAndCancelLeavesNoFile)
{
    QWidget page;
    CsvExportRunner runner(&page, {std::chrono::milliseconds(200)});
    QProgressBar* bar = runner.progressBar();
    QPushButton* cancel = runner.cancelButton();
    page.show();
    TempFolder folder;
    std::optional<Status> outcome;
    runner.start(slowTable(400), folder.file("slow.csv"), [&](const Status& s) { outcome = s; });
    EXPECT_TRUE(runner.isRunning());
    EXPECT_TRUE(bar->isHidden());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 5000));
    EXPECT_TRUE(cancel->isVisible());
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar->value() > 0; }, 5000)); // the bar moves as pieces are written
    screenshot(&page, "export_progress");
    QTest::mouseClick(cancel, Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); }, 5000));
    EXPECT_EQ(outcome->message(), kCancelledMessage);
    EXPECT_FALSE(runner.isRunning());
    EXPECT_TRUE(bar->isHidden());
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

TEST(CsvExportRunner, goingAwayDuringAnExportEndsItAndTellsNoOne)
{
    TempFolder folder;
    bool told = false;
    {
        QWidget page;
        auto* runner = new CsvExportRunner(&page, {});
        runner->start(slowTable(400), folder.file("slow.csv"), [&](const Status&) { told = true; });
        QTest::qWait(100);
    } // the page and its runner go while the export writes
    QTest::qWait(50);
    EXPECT_FALSE(told);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}
