#include "update/DownloadLoop.h"
#include "update/SelfReplacement.h"
#include "settings/SettingsFile.h"
#include "webtools/SiteList.h"

#include "support/UpdateTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"
#include "platform/ReplacementFile.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <map>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// Serves fixed bodies by path; "/cut" announces more than it sends, "/missing" is a 404.
struct UpdateServer {
    LoopbackServer server;
    std::map<std::string, std::string> files;
    std::vector<std::string> userAgents;

    void start()
    {
        server->Get(R"(/files/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
            userAgents.push_back(request.get_header_value("User-Agent"));
            const auto found = files.find(request.matches[1]);
            if (found == files.end()) {
                response.status = 404;
                return;
            }
            response.set_content(found->second, "application/octet-stream");
        });
        server->Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.status = 302;
            response.set_header("Location", "/files/elsewhere");
            response.set_content("<html><body>Object moved</body></html>", "text/html");
        });
        server->Get("/unchanged", [](const httplib::Request&, httplib::Response& response) { response.status = 304; });
        server->Get("/created", [](const httplib::Request&, httplib::Response& response) {
            response.status = 201;
            response.set_content("created body", "text/plain");
        });
        // One byte every `pause` ms, `count` bytes in all.
        server->Get(R"(/trickle/(\d+)/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const auto pause = std::chrono::milliseconds(std::stoi(request.matches[1]));
            const size_t count = std::stoul(request.matches[2]);
            response.set_content_provider(count, "application/octet-stream",
                                          [pause](size_t, size_t, httplib::DataSink& sink) {
                                              std::this_thread::sleep_for(pause);
                                              return sink.write("t", 1);
                                          });
        });
        server->Get("/cut", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(100000, "application/octet-stream",
                                          [](size_t offset, size_t, httplib::DataSink& sink) {
                                              if (offset > 0)
                                                  return false; // the connection drops mid-body
                                              sink.write(std::string(4000, 'x').data(), 4000);
                                              return true;
                                          });
        });
        server.start();
    }
    std::string url(const std::string& file) { return server.url("/files/" + file); }
};

// The names of the files a folder holds, sorted.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Recorder {
    std::vector<std::string> events;
    TransferEvents transfer()
    {
        return {[this](std::int64_t max) { events.push_back("begin " + std::to_string(max)); },
                [this](std::int64_t position) { events.push_back("at " + std::to_string(position)); },
                [this] { events.push_back("end"); }};
    }
};

class ListStub : public DownloadList {
public:
    struct Item {
        bool ticked;
        std::string name, url;
        std::vector<ItemState> states;
    };
    std::vector<Item> items;
    std::vector<std::size_t> passedItems;

    std::size_t count() const override { return items.size(); }
    bool isTicked(std::size_t i) const override { return items[i].ticked; }
    std::string name(std::size_t i) const override { return items[i].name; }
    std::string url(std::size_t i) const override { return items[i].url; }
    void setState(std::size_t i, ItemState state) override { items[i].states.push_back(state); }
    void passed(std::size_t i) override { passedItems.push_back(i); }
};

} // namespace

TEST(FetchToFile, reportsTheTransferAndKeepsTheOldFileOnFailure)
{
    UpdateServer server;
    server.files["big.bin"] = std::string(200000, 'b');
    server.start();
    TempFolder folder;
    const std::string target = folder.write("target.bin", "old bytes");
    Recorder recorder;

    EXPECT_TRUE(fetchToFile(server.url("big.bin"), target, recorder.transfer()));
    EXPECT_EQ(readFile(target), server.files["big.bin"]);
    ASSERT_GE(recorder.events.size(), 3u);
    EXPECT_EQ(recorder.events.back(), "end");
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], "at 200000");
    EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "begin 200000"), recorder.events.end());
    EXPECT_EQ(server.userAgents.back(), "Mozilla/3.0 (compatible; Indy Library)");

    // Every answer but a 2xx is a failed download: an unfollowed redirect's body is no update.
    for (const std::string& url : {server.server.url("/cut"), server.url("nothing-here"), server.server.url("/moved"),
                                   server.server.url("/unchanged"),
                                   "http://127.0.0.1:" + std::to_string(refusingPort()) + "/x"}) {
        folder.write("target.bin", "old bytes");
        recorder.events.clear();
        EXPECT_FALSE(fetchToFile(url, target, recorder.transfer())) << url;
        EXPECT_EQ(readFile(target), "old bytes") << url;
        EXPECT_EQ(recorder.events.back(), "end") << url;
        EXPECT_EQ(std::filesystem::directory_iterator(folder.path())->path().filename(), "target.bin") << url;
    }
}

TEST(FetchToFile, anyTwoHundredIsADownload)
{
    UpdateServer server;
    server.start();
    TempFolder folder;
    EXPECT_TRUE(fetchToFile(server.server.url("/created"), folder.file("c.txt"), {}));
    EXPECT_EQ(readFile(folder.file("c.txt")), "created body");
}

TEST(FetchToFile, aTransferWithoutProgressFails)
{
    UpdateServer server;
    server.start();
    struct Case {
        const char* what;
        std::string path; // pause between bytes, byte count
        std::chrono::milliseconds limit;
        bool fetched;
    };
    const Case cases[] = {
        {"one byte a second against a lowered limit", "/trickle/1000/5", std::chrono::milliseconds(300), false},
        {"slow but steady", "/trickle/20/10", std::chrono::seconds(5), true},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("t.bin", "old");
        TransferEvents events;
        events.noProgressLimit = c.limit;
        EXPECT_EQ(fetchToFile(server.server.url(c.path), folder.file("t.bin"), events), c.fetched) << c.what;
        EXPECT_EQ(readFile(folder.file("t.bin")), c.fetched ? std::string(10, 't') : "old") << c.what;
    }
    // The limit the window uses unless a test lowers it.
    EXPECT_EQ(TransferEvents().noProgressLimit, std::chrono::seconds(60));
}

TEST(FetchToFile, theStopFlagEndsAStalledTransfer)
{
    UpdateServer server;
    server.server->Get("/stall", [&](const httplib::Request&, httplib::Response& response) {
        server.server.holdUntilReleased();
        response.set_content("late", "text/plain");
    });
    server.start();
    TempFolder folder;
    std::atomic<bool> stop{false};
    TransferEvents events;
    events.stop = &stop;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    EXPECT_FALSE(fetchToFile(server.server.url("/stall"), folder.file("s.bin"), events));
    closer.join();
    server.server.release();
    EXPECT_FALSE(fileExists(folder.file("s.bin")));
}

TEST(DownloadLoop, neverReplacesTheProgramsOwnFiles)
{
    UpdateServer server;
    server.files["x"] = "downloaded";
    server.files["package"] = zipBytes({{"Quillmarkbox.exe", "new program"}});
    server.start();
    struct Case {
        std::string name;
        ItemState state;
    };
    const Case cases[] = {
        {"quillmarkbox", ItemState::Failed},
        {"QUILLMARKBOX", ItemState::Failed},
        {"sub/QuillMarkBox", ItemState::Failed},
        {"$DEL$.BAT", ItemState::Failed},
        {"保存设置.ini", ItemState::Failed},
        {"保存设置.INI", ItemState::Failed},
        {"Test.XML", ItemState::Failed},
        {"Quillmarkbox", ItemState::Done}, // the package, another file than the program here
        {"notes.txt", ItemState::Done},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        for (const char* own : {"quillmarkbox", "$del$.bat", "保存设置.ini", "test.xml"})
            folder.write(own, "own");
        const std::string url = server.url(c.name == "Quillmarkbox" ? "package" : "x");
        EXPECT_EQ(downloadItem(folder.path(), c.name, url, {}, "quillmarkbox"), c.state) << c.name;
        for (const char* own : {"quillmarkbox", "$del$.bat", "保存设置.ini", "test.xml"})
            EXPECT_EQ(readFile(folder.file(own)), "own") << c.name << " " << own;
    }
    // Where the package and the program are one file, the package is refused too.
    TempFolder folder;
    folder.write("Quillmarkbox", "the running program");
    EXPECT_EQ(downloadItem(folder.path(), "Quillmarkbox", server.url("package"), {}, "Quillmarkbox"),
              ItemState::Failed);
    // The names are those the settings file and the site list really have.
    EXPECT_EQ(kSiteListFileName, kSiteListFile);
    EXPECT_TRUE(SettingsFile::defaultPath().ends_with("/" + std::string(kSettingsFileName)));
}

TEST(DownloadLoop, fetchesTickedItemsUnpacksArchivesAndKeepsThePackage)
{
    UpdateServer server;
    server.files["data.zip"] = zipBytes({{"data/words.txt", "words"}});
    server.files["tool.exe"] = "MZ not an archive";
    server.files["package"] = zipBytes({{"Quillmarkbox.exe", "new program"}});
    const std::string broken = zipBytes({{"kept.txt", "new"}, {"more.txt", std::string(3000, 'm')}});
    server.files["broken.zip"] = broken.substr(0, broken.size() - 30);
    server.start();
    TempFolder folder;
    folder.write("kept.txt", "old");
    ListStub list;
    list.items = {
        {true, "data.zip", server.url("data.zip"), {}},
        {false, "skipped.zip", server.url("data.zip"), {}},
        {true, "gone.zip", server.url("gone.zip"), {}},
        {true, "tool.exe", server.url("tool.exe"), {}},
        {true, "Quillmarkbox", server.url("package"), {}},
        {true, "../outside.zip", server.url("data.zip"), {}},
        {true, "..", server.url("data.zip"), {}},
        {true, "broken.zip", server.url("broken.zip"), {}},
    };

    downloadTicked(list, folder.path(), {}, "quillmarkbox");

    using S = ItemState;
    const std::vector<std::vector<S>> states = {{S::Downloading, S::Done},   {},
                                                {S::Downloading, S::Failed}, {S::Downloading, S::Done},
                                                {S::Downloading, S::Done},   {S::Downloading, S::Done},
                                                {S::Downloading, S::Failed}, {S::Downloading, S::Failed}};
    for (std::size_t i = 0; i < list.items.size(); ++i)
        EXPECT_EQ(list.items[i].states, states[i]) << list.items[i].name;
    EXPECT_EQ(list.passedItems, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Archives and other downloads are gone after unpacking; the package waits for the replacement.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Quillmarkbox", "kept.txt", "words.txt"}));
    EXPECT_EQ(readFile(folder.file("kept.txt")), "old"); // a broken archive says 失败 and replaces nothing
    EXPECT_FALSE(fileExists(std::filesystem::path(folder.path()).parent_path() / "outside.zip"));
}

TEST(SelfReplacement, theBatchKeepsItsSevenLines)
{
    // Deliberate: byte for byte what the clean-up batch has always held, quotes of line 3 included.
    EXPECT_EQ(cleanupBatchText(), ":try2\r\ndel Harrowlog.tmp\r\nif exist \"Harrowlog.tmp\" goto try2\r\n"
                                  "Quillmarkbox.exe\r\ndel %0\r\ncls\r\nexit\r\n");
}

namespace {

std::string niceness() { return std::to_string(getpriority(PRIO_PROCESS, 0)) + "\n"; }

bool cleanupDone(const TempFolder& folder)
{
    return !fileExists(folder.file("$del$.bat")) && !fileExists(folder.file("Harrowlog.tmp"));
}

} // namespace

TEST(SelfReplacement, theNewProgramTakesTheRunningProgramsNameAndBits)
{
    // The stand-in new program leaves its niceness in the folder it was started in.
    const std::string newProgram = "#!/bin/sh\nnice > nice.txt && mv nice.txt started.txt\n";
    for (const char* entryName : {"Quillmarkbox.exe", "quillmarkbox", "QUILLMARKBOX.EXE"}) {
        TempFolder folder;
        const std::string running = folder.write("quillmarkbox", "#!/bin/sh\necho old\n");
        chmod(running.c_str(), 0750);
        folder.write("Harrowlog.tmp", "left over from an earlier update");
        writeZip(folder.file("Quillmarkbox"), {{entryName, newProgram}, {"words.txt", "new words"}});
        ReplaceOptions options;
        options.programPid = endedProcess();

        ASSERT_EQ(replaceExecutable(folder.path(), "quillmarkbox", options), ReplaceOutcome::Started) << entryName;

        EXPECT_TRUE(waitUntil([&] { return fileExists(folder.file("started.txt")) && cleanupDone(folder); }))
            << entryName;
        EXPECT_EQ(readFile(running), newProgram) << entryName;
        struct stat info {};
        stat(running.c_str(), &info);
        EXPECT_EQ(info.st_mode & 07777, 0750u) << entryName;
        // Started at the program's own priority, not the lowest.
        EXPECT_EQ(readFile(folder.file("started.txt")), niceness()) << entryName;
        EXPECT_EQ(readFile(folder.file("words.txt")), "new words") << entryName;
        EXPECT_FALSE(fileExists(folder.file("Quillmarkbox.exe"))) << entryName;
        EXPECT_FALSE(fileExists(folder.file("Quillmarkbox"))) << entryName;
    }
}

TEST(SelfReplacement, theNewProgramStartsOnlyOnceTheOldOneHasEnded)
{
    TempFolder folder;
    chmod(folder.write("quillmarkbox", "#!/bin/sh\necho old\n").c_str(), 0755);
    writeZip(folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", "#!/bin/sh\necho started > started.txt\n"}});
    const pid_t oldProgram = fork();
    if (oldProgram == 0) {
        pause();
        _exit(0);
    }
    ReplaceOptions options;
    options.programPid = oldProgram;

    ASSERT_EQ(replaceExecutable(folder.path(), "quillmarkbox", options), ReplaceOutcome::Started);

    std::this_thread::sleep_for(std::chrono::milliseconds(600));
    EXPECT_FALSE(fileExists(folder.file("started.txt"))); // the old program still runs
    kill(oldProgram, SIGKILL);
    waitpid(oldProgram, nullptr, 0);
    EXPECT_TRUE(waitUntil([&] { return fileExists(folder.file("started.txt")) && cleanupDone(folder); }));
}

TEST(SelfReplacement, killedAtAnyStepTheFolderHoldsAProgramThatStarts)
{
    const std::string oldProgram = "#!/bin/sh\necho old\n";
    const std::string newProgram = "#!/bin/sh\necho new\n";
    const ReplaceStep steps[] = {ReplaceStep::RemoveLeftover, ReplaceStep::StageProgram, ReplaceStep::SetOldAside,
                                 ReplaceStep::RenameIntoPlace, ReplaceStep::CommitFiles, ReplaceStep::RemovePackage,
                                 ReplaceStep::StartCleanup};
    for (const ReplaceStep killedAt : steps) {
        const int at = static_cast<int>(killedAt);
        TempFolder folder;
        const std::string program = folder.write("quillmarkbox", oldProgram);
        chmod(program.c_str(), 0755);
        folder.write("Harrowlog.tmp", "left over");
        writeZip(folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", newProgram}, {"words.txt", "new words"}});

        const int exitCode = runInChild([&] {
            ReplaceOptions options;
            options.beforeStep = [&](ReplaceStep step) {
                if (step == killedAt)
                    _exit(42); // as if killed here
            };
            replaceExecutable(folder.path(), "quillmarkbox", options);
            return 0;
        });
        ASSERT_EQ(exitCode, 42) << at;

        // The program's name starts the old program or the new one.
        const ProcessResult ran = runProcess({program});
        EXPECT_TRUE(ran.out == "old\n" || ran.out == "new\n") << at << ": " << ran.out;

        // And the next update completes.
        writeZip(folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", newProgram}, {"words.txt", "new words"}});
        ReplaceOptions options;
        options.programPid = endedProcess();
        EXPECT_EQ(replaceExecutable(folder.path(), "quillmarkbox", options), ReplaceOutcome::Started) << at;
        EXPECT_TRUE(waitUntil([&] { return cleanupDone(folder); })) << at;
        EXPECT_EQ(runProcess({program}).out, "new\n") << at;
        EXPECT_EQ(readFile(folder.file("words.txt")), "new words") << at;
    }
}

TEST(SelfReplacement, stopsWithTheProgramInPlace)
{
    struct Case {
        const char* what;
        std::vector<ZipEntry> package; // none: no package downloaded
        bool hasPackage;
        const char* executable;
        ReplaceOutcome outcome;
        bool leftoverKept; // the only copy of a program is never deleted
    };
    const Case cases[] = {
        {"no package", {}, false, "quillmarkbox", ReplaceOutcome::NoPackage, false},
        {"executable missing", {{"Quillmarkbox.exe", "new"}}, true, "not-there", ReplaceOutcome::RenameFailed, true},
        {"package without the program", {{"readme.txt", "hi"}}, true, "quillmarkbox", ReplaceOutcome::PackageBroken,
         false},
        {"damaged package", {{"Quillmarkbox.exe", "new"}, {"readme.txt", "hi"}}, true, "quillmarkbox",
         ReplaceOutcome::PackageBroken, false},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("quillmarkbox", "the running program");
        folder.write("Harrowlog.tmp", "left over");
        if (c.hasPackage)
            writeZip(folder.file("Quillmarkbox"), c.package);
        if (std::string(c.what) == "damaged package")
            folder.write("Quillmarkbox", readFile(folder.file("Quillmarkbox")).substr(0, 60));
        EXPECT_EQ(replaceExecutable(folder.path(), c.executable), c.outcome) << c.what;
        EXPECT_EQ(readFile(folder.file("quillmarkbox")), "the running program") << c.what;
        EXPECT_EQ(fileExists(folder.file("Harrowlog.tmp")), c.leftoverKept) << c.what;
        EXPECT_FALSE(fileExists(folder.file("$del$.bat"))) << c.what;
        EXPECT_FALSE(fileExists(folder.file("readme.txt"))) << c.what;
        EXPECT_EQ(filesIn(folder.path()).size(), 1u + c.leftoverKept + (c.outcome == ReplaceOutcome::RenameFailed))
            << c.what; // no temporary file stays
    }
    // A package that is no archive at all counts as one without the program.
    TempFolder folder;
    folder.write("quillmarkbox", "the running program");
    folder.write("Quillmarkbox", "garbage");
    EXPECT_EQ(replaceExecutable(folder.path(), "quillmarkbox"), ReplaceOutcome::PackageBroken);
    EXPECT_EQ(readFile(folder.file("quillmarkbox")), "the running program");
    EXPECT_FALSE(fileExists(folder.file("Quillmarkbox")));
}

TEST(LeftoverFiles, onlyTemporaryFilesOfEndedProcessesAreRemoved)
{
    const std::string ended = std::to_string(endedProcess());
    const std::string running = std::to_string(getppid());
    const std::string mine = std::to_string(getpid());
    struct Case {
        std::string name;
        bool removed;
    };
    const Case cases[] = {
        {"words.txt." + ended + "-0-123456.tmp", true},
        {"$del$.bat." + ended + "-12-7.tmp", true},
        {"words.txt." + running + "-0-1.tmp", false}, // its writer still runs
        {"words.txt." + mine + "-0-1.tmp", false},
        {"words.txt." + ended + "-0.tmp", false},
        {"words.txt." + ended + "-0-1-2.tmp", false},
        {"words.txt." + ended + "-a-1.tmp", false},
        {"." + ended + "-0-1.tmp", false},
        {"Harrowlog.tmp", false},
        {"notes.tmp", false},
        {"words.txt", false},
    };
    TempFolder folder;
    for (const Case& c : cases)
        folder.write(c.name, "x");
    std::filesystem::create_directory(folder.file("dir." + ended + "-0-1.tmp"));

    removeLeftoverTemporaryFiles(folder.path());

    for (const Case& c : cases)
        EXPECT_EQ(fileExists(folder.file(c.name)), !c.removed) << c.name;
    EXPECT_TRUE(fileExists(folder.file("dir." + ended + "-0-1.tmp")));
}
