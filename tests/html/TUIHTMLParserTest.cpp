#include "html/TUIHTMLParser.h"

#include "HtmlTestSupport.h"
#include "platform/QueueDispatcher.h"
#include "support/HtmlSamples.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace quill;
using namespace std::chrono_literals;

namespace {

// A UI queue that tells how many tasks were handed to it.
struct CountingDispatcher : QueueDispatcher {
    void post(std::function<void()> task) override
    {
        ++posted;
        QueueDispatcher::post(std::move(task));
    }
    std::atomic<int> posted{0};
};

// Waits until the watcher has handed `count` texts to the UI queue; false at the deadline.
bool waitForHandOver(CountingDispatcher& ui, int count = 1, std::chrono::milliseconds timeout = 60s)
{
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (ui.posted < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::yield();
    return ui.posted >= count;
}

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
    CountingDispatcher ui;
    TUIHTMLParser parser(ui);
    parser.ParseText(slowText());
    parser.ParseText("<b>queued</b>");
    if (parser.Document() != slowText())
        GTEST_SKIP() << "the first parse ended before the next text came";
    ASSERT_TRUE(waitForHandOver(ui));
    parser.ParseText("<i>direct</i>");
    ui.drain();
    ASSERT_TRUE(waitForParseOf(parser, ui, "<i>direct</i>"));
    EXPECT_FALSE(waitForHandOver(ui, 2, 200ms));
    EXPECT_EQ(test::shape(parser.page()), "I[direct] @DOCUMENT");
}

TEST(TUIHTMLParser, destructionStopsTheWorkerAndOrphansItsHandOver)
{
    CountingDispatcher ui;
    for (bool handOverFirst : {false, true}) {
        {
            TUIHTMLParser parser(ui);
            parser.ParseText(slowText());
            parser.ParseText("<b>queued</b>");
            if (handOverFirst) {
                ASSERT_TRUE(waitForHandOver(ui));
            }
        }
        // A hand-over posted before the parser went away finds it gone.
        ui.drain();
    }
}
