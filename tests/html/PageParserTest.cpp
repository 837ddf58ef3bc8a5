#include "html/PageParser.h"

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
bool waitForParseOf(PageParser& parser, QueueDispatcher& ui, const std::string& document)
{
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (parser.parseState() != ParserState::Idle || parser.document() != document) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        ui.runOne(10ms);
    }
    return true;
}

} // namespace

TEST(PageParser, parsesOnAWorkerAndShowsTheTreeWhenIdle)
{
    QueueDispatcher ui;
    PageParser parser(ui);
    EXPECT_EQ(parser.parseState(), ParserState::New);
    EXPECT_EQ(parser.page().root().count(), 0u);
    parser.parseText("<ul><li>a<li>b</ul>");
    ASSERT_TRUE(waitForParseOf(parser, ui, "<ul><li>a<li>b</ul>"));
    EXPECT_EQ(test::shape(parser.page()), "UL[<li>a<li>b](LI[a] LI[b]) @DOCUMENT");
    parser.parseText("");
    ASSERT_TRUE(waitForParseOf(parser, ui, ""));
    EXPECT_EQ(test::shape(parser.page()), "@DOCUMENT");
}

TEST(PageParser, onlyTheNewestWaitingTextIsParsedNext)
{
    QueueDispatcher ui;
    PageParser parser(ui);
    const std::string& slow = slowText();
    parser.parseText(slow);
    parser.parseText("<b>second</b>");
    parser.parseText("<i>third</i>");
    if (parser.document() != slow)
        GTEST_SKIP() << "the first parse ended before the next texts came";
    EXPECT_EQ(parser.pendingText(), "<i>third</i>");
    auto deadline = std::chrono::steady_clock::now() + 60s;
    while (parser.parseState() != ParserState::Idle || parser.document() != "<i>third</i>") {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        ASSERT_NE(parser.document(), "<b>second</b>");
        ui.runOne(10ms);
    }
    EXPECT_EQ(test::shape(parser.page()), "I[third] @DOCUMENT");
    EXPECT_EQ(parser.pendingText(), "");
}

// The watcher's hand-over must not parse anything once a newer text was started directly.
TEST(PageParser, handOverAfterADirectStartParsesNothingMore)
{
    CountingDispatcher ui;
    PageParser parser(ui);
    parser.parseText(slowText());
    parser.parseText("<b>queued</b>");
    if (parser.document() != slowText())
        GTEST_SKIP() << "the first parse ended before the next text came";
    ASSERT_TRUE(waitForHandOver(ui));
    parser.parseText("<i>direct</i>");
    ui.drain();
    ASSERT_TRUE(waitForParseOf(parser, ui, "<i>direct</i>"));
    // The direct parse's end posts that the parser is idle; nothing is handed over again.
    EXPECT_FALSE(waitForHandOver(ui, 3, 200ms));
    EXPECT_EQ(test::shape(parser.page()), "I[direct] @DOCUMENT");
}

TEST(PageParser, destructionStopsTheWorkerAndOrphansItsHandOver)
{
    CountingDispatcher ui;
    for (bool handOverFirst : {false, true}) {
        {
            PageParser parser(ui);
            parser.parseText(slowText());
            parser.parseText("<b>queued</b>");
            if (handOverFirst) {
                ASSERT_TRUE(waitForHandOver(ui));
            }
        }
        // A hand-over posted before the parser went away finds it gone.
        ui.drain();
    }
}

TEST(PageParser, whenIdleRunsOnceTheNewestTextIsParsed)
{
    QueueDispatcher ui;
    PageParser parser(ui);
    int calls = 0;
    parser.whenIdle([&] { ++calls; }); // nothing ever parsed: at once
    EXPECT_EQ(calls, 1);

    std::string seen;
    parser.parseText(slowText());
    parser.parseText("<b>second</b>");
    parser.whenIdle([&] {
        seen = parser.document();
        EXPECT_EQ(parser.parseState(), ParserState::Idle);
    });
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    while (seen.empty() && std::chrono::steady_clock::now() < deadline)
        ui.runOne(10ms);
    EXPECT_EQ(seen, "<b>second</b>"); // never the tree of the text it replaced
    EXPECT_EQ(test::shape(parser.page()), "B[second] @DOCUMENT");

    // A parser that goes before its parse ends drops what waited for it.
    {
        PageParser gone(ui);
        gone.parseText(slowText());
        gone.whenIdle([&] { ++calls; });
    }
    ui.drain();
    EXPECT_EQ(calls, 1);
}
