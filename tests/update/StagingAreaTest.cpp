#include "update/StagingArea.h"

#include "support/RunProcess.h"
#include "support/TempFolder.h"
#include "support/UpdateTestSupport.h"
#include "update/UpdateFailure.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <sys/stat.h>

using namespace quill;
using namespace quill::test;

namespace {

std::unique_ptr<StagingArea> openArea(const std::string& folder, StagingOptions options = {})
{
    Result<std::unique_ptr<StagingArea>> area = StagingArea::open(folder, options);
    if (!area)
        throw std::runtime_error(area.status().message());
    return std::move(area.value());
}

void stage(const StagingArea& area, const std::string& name, const std::string& bytes)
{
    TempFolder::writeFile(area.stagedPath(name), bytes);
}

} // namespace

TEST(StagingArea, aCommitIsAllOrNothingAtEveryStep)
{
    // Two files replaced and one added: five forward steps, each made to fail in turn.
    for (int failStep = 0; failStep <= 5; ++failStep) {
        TempFolder folder;
        folder.write("a.txt", "old a");
        folder.write("b.txt", "old b");
        auto area = openArea(folder.path(), {failStep});
        stage(*area, "a.txt", "new a");
        stage(*area, "b.txt", "new b");
        stage(*area, "c.txt", "new c");
        const Status committed = area->commit({"a.txt", "b.txt", "c.txt"});
        EXPECT_EQ(committed.ok(), failStep == 5) << failStep;
        const bool isNew = committed.ok();
        EXPECT_EQ(readFile(folder.file("a.txt")), isNew ? "new a" : "old a") << failStep;
        EXPECT_EQ(readFile(folder.file("b.txt")), isNew ? "new b" : "old b") << failStep;
        EXPECT_EQ(fileExists(folder.file("c.txt")), isNew) << failStep;
        area.reset();
        EXPECT_EQ(filesIn(folder.path()).size(), isNew ? 3u : 2u) << failStep; // no staging folder, no journal
    }
}

TEST(StagingArea, aLaterFailurePutsACommitBack)
{
    TempFolder folder;
    folder.write("a.txt", "old a");
    chmod(folder.write("tool", "old tool").c_str(), 0750);
    auto area = openArea(folder.path());
    stage(*area, "a.txt", "new a");
    stage(*area, "tool", "new tool");
    stage(*area, "b.txt", "new b");
    ASSERT_TRUE(area->commit({"a.txt", "tool", "b.txt"}));
    struct stat info {};
    stat(folder.file("tool").c_str(), &info);
    EXPECT_EQ(info.st_mode & 07777, 0750u); // the replaced file's bits pass on
    area->rollBack();
    area.reset();
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"a.txt", "tool"}));
    EXPECT_EQ(readFile(folder.file("a.txt")), "old a");
    EXPECT_EQ(readFile(folder.file("tool")), "old tool");
}

TEST(StagingArea, theStartUpCleanUpRemovesOnlyWhatTheJournalNames)
{
    TempFolder folder;
    const std::string ended = std::to_string(endedProcess());
    // A user's files, some shaped like the temporary files of a killed writer.
    const std::vector<std::string> users = {"backup.2023-12-31.tmp", "photo.2024-05-17.tmp",
                                            "words.txt." + ended + "-0-1.tmp", ".update-1-2", "update.journal.bak"};
    for (const std::string& name : users)
        folder.write(name, "the user's");
    // Killed while an update had its staging folder: the journal names it.
    const int killed = runInChild([&] {
        auto area = openArea(folder.path());
        stage(*area, "a.txt", "staged");
        _exit(9);
        return 0;
    });
    ASSERT_EQ(killed, 9);
    EXPECT_EQ(filesIn(folder.path()).size(), users.size() + 2); // the staging folder and the journal
    // A journal that names other things is not believed.
    TempFolder::writeFile(folder.file("update.journal"),
                          readFile(folder.file("update.journal")) + "backup.2023-12-31.tmp\n../x\n.update-1-2\n");

    recoverUpdateFolder(folder.path());

    std::vector<std::string> expected = users;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(filesIn(folder.path()), expected);
}

TEST(StagingArea, aKillAfterTheRenamesIsRolledBackAtTheNextStart)
{
    for (const bool completed : {false, true}) {
        TempFolder folder;
        folder.write("a.txt", "old a");
        const int killed = runInChild([&] {
            auto area = openArea(folder.path());
            stage(*area, "a.txt", "new a");
            stage(*area, "b.txt", "new b");
            if (!area->commit({"a.txt", "b.txt"}))
                return 1;
            if (completed)
                area->complete();
            _exit(9); // before the update was whole
            return 0;
        });
        ASSERT_EQ(killed, 9);
        recoverUpdateFolder(folder.path());
        EXPECT_EQ(readFile(folder.file("a.txt")), completed ? "new a" : "old a") << completed;
        EXPECT_EQ(fileExists(folder.file("b.txt")), completed) << completed;
        EXPECT_EQ(filesIn(folder.path()).size(), completed ? 2u : 1u) << completed;
    }
}

TEST(StagingArea, refusesLinksAndReadOnlyFilesBeforeAnyRename)
{
    struct Case {
        const char* what;
        std::function<void(TempFolder&, const std::string& outside)> setUp;
        UpdateFailure failure;
    };
    const Case cases[] = {
        {"a link to a file outside",
         [](TempFolder& f, const std::string& outside) { std::filesystem::create_symlink(outside, f.file("b.txt")); },
         UpdateFailure::SymbolicLink},
        {"a dangling link",
         [](TempFolder& f, const std::string&) { std::filesystem::create_symlink("/nonexistent", f.file("b.txt")); },
         UpdateFailure::SymbolicLink},
        {"a folder in the way", [](TempFolder& f, const std::string&) { std::filesystem::create_directory(f.file("b.txt")); },
         UpdateFailure::CannotWrite},
        {"a read-only file", [](TempFolder& f, const std::string&) { chmod(f.write("b.txt", "ro").c_str(), 0444); },
         UpdateFailure::CannotWrite},
    };
    for (const Case& c : cases) {
        TempFolder outside;
        const std::string target = outside.write("target", "outside");
        TempFolder folder;
        folder.write("a.txt", "old a");
        c.setUp(folder, target);
        auto area = openArea(folder.path());
        stage(*area, "a.txt", "new a");
        stage(*area, "b.txt", "new b");
        EXPECT_EQ(area->commit({"a.txt", "b.txt"}).message(), failureText(c.failure)) << c.what;
        EXPECT_EQ(readFile(folder.file("a.txt")), "old a") << c.what;
        EXPECT_EQ(readFile(target), "outside") << c.what;
    }
}
