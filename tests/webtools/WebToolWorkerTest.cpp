#include "webtools/WebToolWorker.h"

#include "platform/QueueDispatcher.h"
#include "support/StreamServer.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace std::chrono_literals;

TEST(WebToolWorker, handsResultsToTheUiThreadInOrder)
{
    QueueDispatcher ui;
    std::vector<int> seen;
    std::atomic<bool> done{false};
    const std::thread::id uiThread = std::this_thread::get_id();
    bool allOnUi = true;
    {
        WebToolWorker worker(ui, {}, [&](const WebContext&, const WebToolWorker::Post& post) {
            for (int i = 0; i < 5; ++i)
                post([&, i] {
                    seen.push_back(i);
                    allOnUi = allOnUi && std::this_thread::get_id() == uiThread;
                });
            post([&] { done = true; });
        });
        while (!done)
            ui.runOne(50ms);
    }
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_TRUE(allOnUi);
}

TEST(WebToolWorker, destroyingItStopsTheRequestAndDropsWhatIsQueued)
{
    test::StreamServer silent(test::StreamServer::Mode::Silent);
    QueueDispatcher ui;
    bool delivered = false;
    std::atomic<bool> requestBegun{false};
    std::string failure;
    {
        // The standard limits: only the stop can end this request soon.
        WebToolWorker worker(ui, {}, [&](const WebContext& context, const WebToolWorker::Post& post) {
            post([&] { delivered = true; });
            requestBegun = true;
            failure = fetchPageReporting(silent.url(), context).failure;
            post([&] { delivered = true; });
        });
        while (!requestBegun)
            std::this_thread::sleep_for(5ms);
    }
    EXPECT_EQ(ui.drain(), 2); // both tasks were queued, and neither delivers now
    EXPECT_FALSE(delivered);
    EXPECT_FALSE(failure.empty());
}
