#include "html/TUIHTMLParser.h"

#include "HtmlTestSupport.h"
#include "platform/QueueDispatcher.h"
#include "support/HtmlSamples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

using namespace quill;
using namespace std::chrono_literals;

namespace {

// A UI queue whose tasks the test runs when it chooses.
class HeldDispatcher : public UiDispatcher {
public:
    void post(std::function<void()> task) override
    {
        {
            std::lock_guard lock(m_mutex);
            m_tasks.push_back(std::move(task));
        }
        m_posted.notify_all();
    }

    bool waitForTask(std::chrono::milliseconds timeout)
    {
        std::unique_lock lock(m_mutex);
        return m_posted.wait_for(lock, timeout, [this] { return !m_tasks.empty(); });
    }

    void runAll()
    {
        std::deque<std::function<void()>> tasks;
        {
            std::lock_guard lock(m_mutex);
            tasks.swap(m_tasks);
        }
        for (auto& task : tasks)
            task();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::deque<std::function<void()>> m_tasks;
};

// A page whose parse takes a good while compared with a few calls on the UI thread.
const std::string& slowText()
{
    static const std::string text = test::realLookingPage(2 << 20, 3);
    return text;
}

// Runs UI tasks until the parser is Idle with `document` parsed; false at the deadline.
bool waitForParseOf(TUIHTMLParser& parser, QueueDispatcher& ui, const std::string& document)
{
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (parser.ParseState() != ParserState::Idle || parser.Document() != document) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ui.runOne(10ms);
    }
    return true;
}

} // namespace

TEST(TUIHTMLParser, parsesOnAWorkerAndShowsTheTreeWhenIdle)
{
    QueueDispatcher ui;
    TUIHTMLParser parser(ui);
    EXPECT_EQ(parser.ParseState(), ParserState::New);
    EXPECT_EQ(parser.page().root().count(), 0u);
    parser.ParseText("<ul><li>a<li>b</ul>");
    ASSERT_TRUE(waitForParseOf(parser, ui, "<ul><li>a<li>b</ul>"));
    EXPECT_EQ(test::shape(parser.page()), "UL[<li>a<li>b](LI[a] LI[b]) @DOCUMENT");
    parser.ParseText("");
    ASSERT_TRUE(waitForParseOf(parser, ui, ""));
    EXPECT_EQ(test::shape(parser.page()), "@DOCUMENT");
}

TEST(TUIHTMLParser, onlyTheNewestWaitingTextIsParsedNext)
{
    QueueDispatcher ui;
    TUIHTMLParser parser(ui);
    const std::string& slow = slowText();
    parser.ParseText(slow);
    parser.ParseText("<b>second</b>");
    parser.ParseText("<i>third</i>");
    if (parser.Document() != slow)
        GTEST_SKIP() << "the first parse ended before the next texts came";
    EXPECT_EQ(parser.PendingText(), "<i>third</i>");
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (parser.ParseState() != ParserState::Idle || parser.Document() != "<i>third</i>") {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        ASSERT_NE(parser.Document(), "<b>second</b>");
        ui.runOne(10ms);
    }
    EXPECT_EQ(test::shape(parser.page()), "I[third] @DOCUMENT");
    EXPECT_EQ(parser.PendingText(), "");
}

// The watcher's hand-over must not parse anything once a newer text was started directly.
TEST(TUIHTMLParser, handOverAfterADirectStartParsesNothingMore)
{
    HeldDispatcher ui;
    TUIHTMLParser parser(ui);
    parser.ParseText(slowText());
    parser.ParseText("<b>queued</b>");
    if (parser.Document() != slowText())
        GTEST_SKIP() << "the first parse ended before the next text came";
    ASSERT_TRUE(ui.waitForTask(60s));
    parser.ParseText("<i>direct</i>");
    EXPECT_EQ(parser.Document(), "<i>direct</i>");
    ui.runAll();
    EXPECT_EQ(parser.Document(), "<i>direct</i>");
    EXPECT_EQ(parser.PendingText(), "");
    EXPECT_FALSE(ui.waitForTask(200ms));
    while (parser.ParseState() != ParserState::Idle)
        ui.waitForTask(10ms);
    EXPECT_EQ(test::shape(parser.page()), "I[direct] @DOCUMENT");
}

TEST(TUIHTMLParser, destructionStopsTheWorkerAndOrphansItsHandOver)
{
    HeldDispatcher ui;
    for (bool waitForHandOver : {false, true}) {
        {
            TUIHTMLParser parser(ui);
            parser.ParseText(slowText());
            parser.ParseText("<b>queued</b>");
            if (waitForHandOver) {
                ASSERT_TRUE(ui.waitForTask(60s));
            }
        }
        // A hand-over posted before the parser went away finds it gone.
        ui.runAll();
    }
}
