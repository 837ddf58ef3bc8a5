#include "logsource/LogWatch.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

constexpr int kDeadlineMs = 10000;

// Waits until a wait reports what `wanted` picks, ignoring waits that report something else.
template <class Wanted>
bool heard(LogWatch& watch, Wanted wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kDeadlineMs);
    while (std::chrono::steady_clock::now() < deadline)
        if (wanted(watch.wait(kDeadlineMs)))
            return true;
    return false;
}

} // namespace

// The system's word and a look once a second (here every 20 ms) tell the same changes.
TEST(LogWatch, tellsOfWritesNewEntriesRenamesAndWakes)
{
    for (bool poll : {false, true}) {
        SCOPED_TRACE(poll ? "polling" : "told");
        TempFolder folder;
        const std::string path = folder.write("ex.log", "first\r\n");
        Result<std::unique_ptr<LogWatch>> opened = LogWatch::watchFile(path, {poll, 20});
        ASSERT_TRUE(opened.ok());
        LogWatch& watch = *opened.value();
        EXPECT_EQ(watch.polls(), poll);

        const LogWatch::Wake quiet = watch.wait(50);
        EXPECT_FALSE(quiet.file || quiet.folder || quiet.woken);

        std::ofstream(path, std::ios::app) << "second\r\n";
        EXPECT_TRUE(heard(watch, [](const LogWatch::Wake& w) { return w.file; }));

        folder.write("ex2.log", "");
        EXPECT_TRUE(heard(watch, [](const LogWatch::Wake& w) { return w.folder; }));

        watch.wake(); // before the wait: it ends at once
        EXPECT_TRUE(watch.wait(kDeadlineMs).woken);
        std::thread waker([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            watch.wake();
        });
        EXPECT_TRUE(heard(watch, [](const LogWatch::Wake& w) { return w.woken; }));
        waker.join();

        std::filesystem::rename(path, folder.file("ex.old"));
        EXPECT_TRUE(heard(watch, [](const LogWatch::Wake& w) { return w.file; }));
    }
}

TEST(LogWatch, aFileThatIsNotThereCannotBeWatched)
{
    TempFolder folder;
    EXPECT_FALSE(LogWatch::watchFile(folder.file("none.log")).ok());
}
