#include "logs/LogFollower.h"

#include "logs/LogTestSupport.h"
#include "platform/QueueDispatcher.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

using Clock = std::chrono::steady_clock;

// Runs the dispatcher's tasks until `done` holds or ten seconds have passed.
template <class Done>
bool runUntil(QueueDispatcher& ui, Done done)
{
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done() && Clock::now() < deadline)
        ui.runOne(std::chrono::milliseconds(20));
    return done();
}

struct Seen {
    std::vector<std::string> stems;
    std::vector<std::vector<std::string>> listings;
    std::optional<FollowEnd> end;
};

LogFollower::Handlers recordInto(LogAnalysis& analysis, Seen& seen)
{
    return {[&](FollowBatch batch) {
                const std::uint32_t first = analysis.store().count();
                ASSERT_TRUE(analysis.appendFollowed(std::move(batch)).ok());
                for (std::uint32_t r = first; r < analysis.store().count(); ++r)
                    seen.stems.push_back(cellText(analysis.store(), r, kColUriStem));
            },
            [&](std::vector<std::string> names) { seen.listings.push_back(std::move(names)); },
            [&](FollowEnd end, const Status&) { seen.end = end; }};
}

} // namespace

// A writer appends in bursts, lines cut anywhere between its writes; every kept line arrives once,
// in order, whether the system tells of the writes or they are looked for.
TEST(LogFollower, everyAppendedLineArrivesOnceInOrder)
{
    for (bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "polling" : "told");
        TempFolder folder;
        const std::string path = folder.write("ex.log", kIis6Header);
        LogAnalysis analysis;
        ASSERT_TRUE(analysis.load(path, {}, true).read());
        QueueDispatcher ui;
        Seen seen;
        LogFollower::Options options;
        options.watch = {poll, 20};
        LogFollower follower(*analysis.followStart(), ui, recordInto(analysis, seen), options);

        std::string lines;
        std::vector<std::string> expected;
        for (int i = 0; i < 3000; ++i) {
            const std::string stem = "/p" + std::to_string(i) + (i % 10 == 0 ? ".gif" : ".htm");
            lines += iisLine({.stem = stem});
            if (i % 10 != 0)
                expected.push_back(stem);
        }
        std::thread writer([&] {
            std::ofstream out(path, std::ios::binary | std::ios::app);
            for (size_t at = 0; at < lines.size(); at += 997) {
                out.write(lines.data() + at, static_cast<std::streamsize>(std::min<size_t>(997, lines.size() - at)));
                out.flush();
                if (at % 20 == 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        EXPECT_TRUE(runUntil(ui, [&] { return seen.stems.size() >= expected.size(); }));
        writer.join();
        ui.drain();
        EXPECT_EQ(seen.stems, expected);
        EXPECT_FALSE(seen.end);
    }
}

TEST(LogFollower, tellsOfNewLogFilesAndEndsWhenTheFileIsRenamedAway)
{
    TempFolder folder;
    const std::string path = folder.write("ex261208.log", kIis6Header);
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}, true).read());
    QueueDispatcher ui;
    Seen seen;
    LogFollower follower(*analysis.followStart(), ui, recordInto(analysis, seen));
    folder.write("notes.txt", "not a log");
    folder.write("ex261209.log", kIis6Header);
    ASSERT_TRUE(runUntil(ui, [&] { return !seen.listings.empty() && seen.listings.back().size() == 2; }));
    EXPECT_EQ(seen.listings.back(), (std::vector<std::string>{"ex261208.log", "ex261209.log"}));
    std::filesystem::rename(path, folder.file("old.txt"));
    ASSERT_TRUE(runUntil(ui, [&] { return seen.end.has_value(); }));
    EXPECT_EQ(*seen.end, FollowEnd::Gone);
}

TEST(LogFollower, stopsAtOnceWhileTheFileIsQuiet)
{
    TempFolder folder;
    const std::string path = folder.write("ex.log", kIis6Header);
    LogAnalysis analysis;
    ASSERT_TRUE(analysis.load(path, {}, true).read());
    QueueDispatcher ui;
    Seen seen;
    auto follower = std::make_unique<LogFollower>(*analysis.followStart(), ui, recordInto(analysis, seen));
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the worker sleeps in its wait
    follower.reset(); // wakes it: this ends rather than hangs
    std::ofstream(path, std::ios::app) << iisLine({.stem = "/late.htm"});
    ui.drain();
    EXPECT_TRUE(seen.stems.empty());
}
