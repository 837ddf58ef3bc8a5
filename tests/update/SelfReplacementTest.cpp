#include "update/SelfReplacement.h"

#include "support/RunProcess.h"
#include "support/TempFolder.h"
#include "support/UpdateTestSupport.h"
#include "update/UpdateFailure.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string niceness() { return std::to_string(getpriority(PRIO_PROCESS, 0)) + "\n"; }

bool cleanupDone(const TempFolder& folder)
{
    return !fileExists(folder.file("$del$.bat")) && !fileExists(folder.file("Harrowlog.tmp"));
}

// Every file of a folder with its bytes.
std::map<std::string, std::string> contents(const std::string& folder)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        files[entry.path().filename().string()] = readFile(entry.path().string());
    return files;
}

// A program folder with a running stand-in program, a package and the files it replaces.
struct ProgramFolder {
    TempFolder folder;
    std::string program = folder.write("quillmarkbox", "#!/bin/sh\necho old\n");

    explicit ProgramFolder(std::vector<ZipEntry> package = {{"Quillmarkbox.exe", "#!/bin/sh\necho new\n"},
                                                            {"words.txt", "new words"}})
    {
        chmod(program.c_str(), 0755);
        folder.write("words.txt", "old words");
        folder.write("update.ini", "[words_txt]\nDate=2001-1-1\n");
        writeZip(folder.file("Quillmarkbox"), package);
    }
};

ReplaceOptions endedProgram()
{
    ReplaceOptions options;
    options.programPid = endedProcess();
    return options;
}

} // namespace

TEST(SelfReplacement, theBatchKeepsItsSevenLines)
{
    // Deliberate: byte for byte what the clean-up batch has always held, quotes of line 3 included.
    EXPECT_EQ(cleanupBatchText(), ":try2\r\ndel Harrowlog.tmp\r\nif exist \"Harrowlog.tmp\" goto try2\r\n"
                                  "Quillmarkbox.exe\r\ndel %0\r\ncls\r\nexit\r\n");
}

TEST(SelfReplacement, theNewProgramTakesTheRunningProgramsNameAndBitsAndIsRecorded)
{
    // The stand-in new program leaves its niceness in the folder it was started in.
    const std::string newProgram = "#!/bin/sh\nnice > nice.txt && mv nice.txt started.txt\n";
    for (const char* entryName : {"Quillmarkbox.exe", "quillmarkbox", "QUILLMARKBOX.EXE"}) {
        ProgramFolder f({{entryName, newProgram}, {"words.txt", "new words"}});
        chmod(f.program.c_str(), 0750);
        f.folder.write("Harrowlog.tmp", "left over from an earlier update");
        ReplaceOptions options = endedProgram();
        options.installed = {{"Quillmarkbox", "", "2011-2-3", "", "", "", ""}};

        ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", options);
        ASSERT_EQ(result.outcome, ReplaceOutcome::Started) << entryName << result.status.message();
        result.exit.reset(); // the program begins to exit

        EXPECT_TRUE(waitUntil([&] { return fileExists(f.folder.file("started.txt")) && cleanupDone(f.folder); }))
            << entryName;
        EXPECT_EQ(readFile(f.program), newProgram) << entryName;
        struct stat info {};
        stat(f.program.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0750u) << entryName;
        // Started at the program's own priority, not the lowest.
        EXPECT_EQ(readFile(f.folder.file("started.txt")), niceness()) << entryName;
        EXPECT_EQ(readFile(f.folder.file("words.txt")), "new words") << entryName;
        EXPECT_EQ(readFile(f.folder.file("update.ini")), "[words_txt]\nDate=2001-1-1\n[Quillmarkbox]\nDate=2011-2-3\n")
            << entryName;
        EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox.exe"))) << entryName;
        EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox"))) << entryName;
    }
}

TEST(SelfReplacement, theLaunchersWaitBeginsOnlyWhenTheProgramExits)
{
    // The box "升级完成" left open far longer than the launcher's wait: nothing starts until the
    // program begins to exit, and then not before its process has ended.
    ProgramFolder f(std::vector<ZipEntry>{{"Quillmarkbox.exe", "#!/bin/sh\necho started > started.txt\n"}});
    const pid_t oldProgram = fork();
    if (oldProgram == 0) {
        pause();
        _exit(0);
    }
    ReplaceOptions options;
    options.programPid = oldProgram;
    options.exitWait = std::chrono::milliseconds(300);

    ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", options);
    ASSERT_EQ(result.outcome, ReplaceOutcome::Started);

    std::this_thread::sleep_for(std::chrono::milliseconds(1200)); // four times the wait
    EXPECT_FALSE(fileExists(f.folder.file("started.txt")));
    result.exit->release();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(fileExists(f.folder.file("started.txt"))); // the old program still runs
    kill(oldProgram, SIGKILL);
    waitpid(oldProgram, nullptr, 0);
    EXPECT_TRUE(waitUntil([&] { return fileExists(f.folder.file("started.txt")) && cleanupDone(f.folder); }));
}

TEST(SelfReplacement, anEndedButUnreapedProgramCountsAsEnded)
{
    ProgramFolder f(std::vector<ZipEntry>{{"Quillmarkbox.exe", "#!/bin/sh\necho started > started.txt\n"}});
    const pid_t zombie = fork();
    if (zombie == 0)
        _exit(0);
    ReplaceOptions options;
    options.programPid = zombie; // never reaped while the launcher waits: a zombie
    ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", options);
    ASSERT_EQ(result.outcome, ReplaceOutcome::Started);
    result.exit.reset();
    // Well before the minute the launcher would wait for a process that still runs.
    EXPECT_TRUE(waitUntil([&] { return fileExists(f.folder.file("started.txt")); }, std::chrono::seconds(20)));
    waitpid(zombie, nullptr, 0);
}

TEST(SelfReplacement, killedAtAnyStepTheFolderHoldsAProgramThatStarts)
{
    const ReplaceStep steps[] = {ReplaceStep::RemoveLeftover, ReplaceStep::StageProgram, ReplaceStep::SetOldAside,
                                 ReplaceStep::Commit,         ReplaceStep::StartLauncher, ReplaceStep::RemovePackage};
    for (const ReplaceStep killedAt : steps) {
        const int at = static_cast<int>(killedAt);
        ProgramFolder f;
        f.folder.write("Harrowlog.tmp", "left over");

        const int exitCode = runInChild([&] {
            ReplaceOptions options = endedProgram();
            options.beforeStep = [&](ReplaceStep step) {
                if (step == killedAt)
                    _exit(42); // as if killed here
            };
            (void)replaceExecutable(f.folder.path(), "quillmarkbox", options);
            return 0;
        });
        ASSERT_EQ(exitCode, 42) << at;

        // The program's name starts the old program or the new one.
        const ProcessResult ran = runProcess({f.program});
        EXPECT_TRUE(ran.out == "old\n" || ran.out == "new\n") << at << ": " << ran.out;

        // And the next update completes.
        writeZip(f.folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", "#!/bin/sh\necho new\n"}, {"words.txt", "new words"}});
        ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", endedProgram());
        EXPECT_EQ(result.outcome, ReplaceOutcome::Started) << at << result.status.message();
        result.exit.reset();
        EXPECT_TRUE(waitUntil([&] { return cleanupDone(f.folder); })) << at;
        EXPECT_EQ(runProcess({f.program}).out, "new\n") << at;
        EXPECT_EQ(readFile(f.folder.file("words.txt")), "new words") << at;
    }
}

TEST(SelfReplacement, aFailureAtAnyRenamePutsTheWholeOldVersionBack)
{
    // Counted once without a failure: the program, words.txt, update.ini and the batch, each
    // with the link aside of a file it replaces.
    int steps = 0;
    for (int failStep = 0;; ++failStep) {
        ProgramFolder f;
        const std::map<std::string, std::string> before = contents(f.folder.path());
        ReplaceOptions options = endedProgram();
        options.installed = {{"Quillmarkbox", "", "2011-2-3", "", "", "", ""}};
        options.staging.failStep = failStep;
        ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", options);
        if (result.outcome == ReplaceOutcome::Started) {
            steps = failStep;
            result.exit.reset();
            EXPECT_TRUE(waitUntil([&] { return cleanupDone(f.folder); }));
            break;
        }
        EXPECT_EQ(result.status.message(), failureText(failStep <= 1 ? UpdateFailure::CannotReplaceProgram
                                                                     : UpdateFailure::CannotWrite))
            << failStep;
        // Exactly the old version, the package kept for a look at the cause.
        EXPECT_EQ(contents(f.folder.path()), before) << failStep;
        EXPECT_EQ(runProcess({f.program}).out, "old\n") << failStep;
    }
    EXPECT_EQ(steps, 7); // program, words.txt and update.ini replaced (two steps each), the batch added
}

TEST(SelfReplacement, aLauncherThatCannotStartPutsEverythingBack)
{
    ProgramFolder f;
    const std::map<std::string, std::string> before = contents(f.folder.path());
    ReplaceOptions options = endedProgram();
    options.shell = "/nonexistent/sh";
    const ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", options);
    EXPECT_EQ(result.outcome, ReplaceOutcome::Failed);
    EXPECT_EQ(result.status.message(), failureText(UpdateFailure::LauncherNotStarted));
    EXPECT_EQ(contents(f.folder.path()), before);
}

TEST(SelfReplacement, refusalsSayWhyAndKeepEverything)
{
    struct Case {
        const char* what;
        std::function<void(ProgramFolder&)> setUp;
        ReplaceOutcome outcome;
        std::optional<UpdateFailure> failure;
    };
    const Case cases[] = {
        {"no package", [](ProgramFolder& f) { std::filesystem::remove(f.folder.file("Quillmarkbox")); },
         ReplaceOutcome::NoPackage, {}},
        {"package without the program",
         [](ProgramFolder& f) { writeZip(f.folder.file("Quillmarkbox"), {{"readme.txt", "hi"}}); },
         ReplaceOutcome::Failed, UpdateFailure::NoProgram},
        {"damaged package",
         [](ProgramFolder& f) {
             f.folder.write("Quillmarkbox", readFile(f.folder.file("Quillmarkbox")).substr(0, 60));
         },
         ReplaceOutcome::Failed, UpdateFailure::BrokenArchive},
        {"no archive at all", [](ProgramFolder& f) { f.folder.write("Quillmarkbox", "garbage"); },
         ReplaceOutcome::Failed, UpdateFailure::BrokenArchive},
        {"a package replacing the settings file",
         [](ProgramFolder& f) {
             writeZip(f.folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", "new"}, {"保存设置.ini", "x"}});
         },
         ReplaceOutcome::Failed, UpdateFailure::ProtectedName},
        {"a read-only program", [](ProgramFolder& f) { chmod(f.program.c_str(), 0555); }, ReplaceOutcome::Failed,
         UpdateFailure::CannotReplaceProgram},
        {"a read-only data file", [](ProgramFolder& f) { chmod(f.folder.file("words.txt").c_str(), 0444); },
         ReplaceOutcome::Failed, UpdateFailure::CannotWrite},
        {"the batch's name is a link",
         [](ProgramFolder& f) { std::filesystem::create_symlink("/tmp/elsewhere", f.folder.file("$del$.bat")); },
         ReplaceOutcome::Failed, UpdateFailure::SymbolicLink},
        {"the program is a link",
         [](ProgramFolder& f) {
             std::filesystem::rename(f.program, f.folder.file("real"));
             std::filesystem::create_symlink("real", f.program);
         },
         ReplaceOutcome::Failed, UpdateFailure::SymbolicLink},
    };
    for (const Case& c : cases) {
        ProgramFolder f;
        c.setUp(f);
        const std::map<std::string, std::string> before = contents(f.folder.path());
        const ReplaceResult result = replaceExecutable(f.folder.path(), "quillmarkbox", endedProgram());
        EXPECT_EQ(result.outcome, c.outcome) << c.what;
        EXPECT_EQ(result.status.message(), c.failure ? failureText(*c.failure) : "") << c.what;
        EXPECT_EQ(contents(f.folder.path()), before) << c.what;
    }
}
