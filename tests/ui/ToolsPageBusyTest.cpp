// The window stays usable while the web tools wait for a server that never answers.

#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "platform/CodePage.h"
#include "support/ScopedEnv.h"
#include "support/StreamServer.h"
#include "gui/ToolsPage.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct BusyWindow {
    StreamServer silent{StreamServer::Mode::Silent};
    std::string host = "127.0.0.1:" + std::to_string(silent.port());
    ScopedEnv baidu{"QUILLMARK_BAIDU_HOST", host};
    ScopedEnv google{"QUILLMARK_GOOGLE_HOST", host};
    ScopedEnv suggestion{"QUILLMARK_SUGGESTION_HOST", host};
    TempFolder folder;
    std::unique_ptr<MainWindow> window;
    QTabWidget* tabs = nullptr;
    ToolsPage* page = nullptr;

    BusyWindow()
    {
        MainWindow::Options options;
        options.settingsPath = folder.file("settings.ini");
        options.siteListPath = folder.file("test.xml");
        options.logFolderForRun = QString::fromStdString(folder.path());
        window = std::make_unique<MainWindow>(options); // the program's own limits: 10 s per wait
        window->show();
        tabs = child<QTabWidget>(window, "PageControl");
        page = child<ToolsPage>(window, "ts4");
        tabs->setCurrentWidget(child<QWidget>(window, "ts4")); // the tab's sheet, which holds the page
    }
    QStringList lines() const { return child<QPlainTextEdit>(page, "Memo1")->toPlainText().split(QLatin1Char('\n')); }
    QString status() const { return child<QLabel>(page, "StatusLine")->text(); }
};

} // namespace

TEST(ToolsPageBusy, indexQueriesLeaveTheWindowPaintingTimingAndTakingClicks)
{
    BusyWindow w;
    QTest::mouseClick(child<QPushButton>(w.page, "Button6"), Qt::LeftButton);
    ASSERT_TRUE(w.page->busy());
    EXPECT_EQ(w.status(), u("批量查询 0/9 …"));
    EXPECT_FALSE(child<QPushButton>(w.page, "Button6")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(w.page, "Button16")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(w.page, "Button15")->isEnabled()); // "清空" sends nothing
    EXPECT_EQ(w.page->cursor().shape(), Qt::BusyCursor);

    // Timers fire and the results area repaints while the first query waits.
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(10);
    PaintCounter counter;
    QWidget* results = child<QPlainTextEdit>(w.page, "Memo1")->viewport();
    results->installEventFilter(&counter);
    ASSERT_TRUE(waitUntil([&] { return w.lines().size() >= 3; })); // the hyphen and time lines
    results->update();
    ASSERT_TRUE(waitUntil([&] { return ticks >= 5 && counter.paints > 0; }, 5000));
    EXPECT_TRUE(w.page->busy());
    screenshot(w.window.get(), "tools-page-busy");

    // A second press is ignored.
    const QStringList before = w.lines();
    QTest::mouseClick(child<QPushButton>(w.page, "Button6"), Qt::LeftButton);
    QTest::qWait(50);
    EXPECT_EQ(w.lines(), before);

    // A click on another tab is handled at once, not after the queries.
    QTabBar* bar = w.tabs->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(4).center());
    EXPECT_EQ(w.tabs->currentIndex(), 4);
    EXPECT_TRUE(w.page->busy());

    // Closing ends the run: the window is gone long before the first 10 s wait could end.
    QElapsedTimer closing;
    closing.start();
    w.window->close();
    w.window.reset();
    EXPECT_LT(closing.elapsed(), 1000);
}

TEST(ToolsPageBusy, eachToolShowsWhatRunsAndHowItEnded)
{
    ScopedEnv quick("QUILLMARK_WEB_TIMEOUTS_MS", "300,300,900"); // read when the page is made
    BusyWindow w;
    child<QComboBox>(w.page, "ComboBox1")->setEditText(QString::fromStdString(w.host + "/"));
    const std::pair<const char*, const char*> cases[] = {
        {"Button16", "纯文本"},
        {"Button7", "HEAD 分析"},
        {"Button14", "所有链接"},
        {"Button17", "相关词补充"},
        {"Button20", "相关搜索"},
    };
    for (const auto& [button, tool] : cases) {
        QTest::mouseClick(child<QPushButton>(w.page, button), Qt::LeftButton);
        EXPECT_EQ(w.status(), u(tool) + u(" …"));
        ASSERT_TRUE(waitUntil([&] { return !w.page->busy(); })) << tool;
        EXPECT_EQ(w.status(), u(tool) + u(": 连接超时"));
        EXPECT_EQ(w.page->cursor().shape(), Qt::ArrowCursor);
    }
    EXPECT_EQ(w.lines(), (QStringList{QString(), QString()})); // silent failures append nothing
}
