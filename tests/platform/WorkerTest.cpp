#include "platform/Worker.h"

#include "platform/QueueDispatcher.h"
#include "support/Gate.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace quill;
using namespace std::chrono_literals;

using test::Gate;

namespace {

constexpr auto kLimit = std::chrono::seconds(30);

} // namespace

TEST(Worker, whatAStoppedJobPostedIsDropped)
{
    QueueDispatcher ui;
    std::vector<int> ran;
    Worker worker(&ui);

    // Posted before the stop, still waiting in the queue when it came.
    worker.start([&](const std::atomic<bool>&, const Worker::Post& post) { post([&] { ran.push_back(1); }); });
    worker.stop();
    // Posted after the stop was asked for, while the job was ending.
    worker.start([&](const std::atomic<bool>& stop, const Worker::Post& post) {
        while (!stop)
            std::this_thread::sleep_for(1ms);
        post([&] { ran.push_back(2); });
    });
    worker.stop();
    EXPECT_EQ(ui.drain(), 2); // both reached the queue ...
    EXPECT_TRUE(ran.empty()); // ... and neither ran
}

TEST(Worker, aRestartEndsTheRunningJobAndOnlyTheNewOneDelivers)
{
    QueueDispatcher ui;
    std::vector<int> ran;
    bool firstSawStop = false;
    Worker worker(&ui);
    Gate posted;
    worker.start([&](const std::atomic<bool>& stop, const Worker::Post& post) {
        post([&] { ran.push_back(1); });
        posted.open();
        while (!stop)
            std::this_thread::sleep_for(1ms);
        firstSawStop = true;
    });
    ASSERT_TRUE(posted.wait(kLimit));
    worker.start([&](const std::atomic<bool>&, const Worker::Post& post) { post([&] { ran.push_back(2); }); });
    EXPECT_TRUE(firstSawStop); // the restart waited for the first job to end
    worker.wait();
    ui.drain();
    EXPECT_EQ(ran, std::vector<int>{2});
}

TEST(Worker, aJobThatEndsByItselfStillDeliversAfterWait)
{
    QueueDispatcher ui;
    std::vector<int> ran;
    Worker worker(&ui);
    worker.start([&](const std::atomic<bool>& stop, const Worker::Post& post) {
        for (int i = 0; i < 3 && !stop; ++i)
            post([&, i] { ran.push_back(i); });
    });
    worker.wait();
    ui.drain();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
    worker.wait(); // nothing runs: a second wait returns at once
}

TEST(Worker, anOwnerDestroyedWhileItsJobRunsStopsItFirst)
{
    // The owner's job writes to the owner's members until it is stopped; its posts use them too.
    struct Owner {
        explicit Owner(UiDispatcher& ui) : worker(&ui) {}
        std::vector<int> written;
        int delivered = 0;
        Worker worker; // last: stopped before the members its job uses go
    };
    QueueDispatcher ui;
    Gate running;
    auto owner = std::make_unique<Owner>(ui);
    owner->worker.start([&running, o = owner.get()](const std::atomic<bool>& stop, const Worker::Post& post) {
        while (!stop) {
            o->written.push_back(1);
            post([o] { ++o->delivered; });
            running.open();
            std::this_thread::sleep_for(1ms);
        }
    });
    ASSERT_TRUE(running.wait(kLimit));
    owner.reset(); // under AddressSanitizer a job or a task that outlived it would fail here
    EXPECT_GT(ui.drain(), 0);
}

TEST(Worker, aJobWithoutADispatcherRunsForItsResultsAlone)
{
    Worker helper;
    std::vector<int> half(1000);
    helper.start([&](const std::atomic<bool>&, const Worker::Post&) {
        for (size_t i = 500; i < half.size(); ++i)
            half[i] = 2;
    });
    for (size_t i = 0; i < 500; ++i)
        half[i] = 1;
    helper.wait();
    EXPECT_EQ(std::count(half.begin(), half.end(), 1), 500);
    EXPECT_EQ(std::count(half.begin(), half.end(), 2), 500);
    EXPECT_GE(parallelThreads(), 1u);
    EXPECT_LE(parallelThreads(), 2u);
}
