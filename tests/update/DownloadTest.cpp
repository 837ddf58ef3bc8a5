#include "update/DownloadLoop.h"

#include "platform/CodePage.h"
#include "settings/SettingsFile.h"
#include "support/TempFolder.h"
#include "support/UpdateServer.h"
#include "support/UpdateTestSupport.h"
#include "update/InstalledRecord.h"
#include "update/SelfReplacement.h"
#include "update/UpdateFailure.h"
#include "webtools/SiteList.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

// The manifest entry of `name` served at `path`, size and hash filled in.
UpdateEntry servedEntry(UpdateServer& server, const std::string& name, const std::string& path, const std::string& bytes)
{
    server.serve(path, bytes);
    return {name, "", "2010-1-1", "", server.url(path), std::to_string(bytes.size()), sha256Hex(bytes)};
}

DownloadOptions optionsFor(const TempFolder& folder)
{
    DownloadOptions options;
    options.folder = folder.path();
    options.executableName = "quillmarkbox";
    options.today = dayNumber(2026, 12, 11);
    return options;
}

struct Recorder {
    std::vector<std::string> events;
    TransferEvents transfer()
    {
        TransferEvents transfer;
        transfer.begin = [this](std::int64_t max) { events.push_back("begin " + std::to_string(max)); };
        transfer.advance = [this](std::int64_t position) { events.push_back("at " + std::to_string(position)); };
        transfer.end = [this] { events.push_back("end"); };
        return transfer;
    }
};

} // namespace

TEST(FetchToFile, reportsTheTransferAndKeepsTheOldFileOnFailure)
{
    UpdateServer server;
    server.serve("/big.bin", std::string(200000, 'b'));
    server.serve("/unchanged", "");
    TempFolder folder;
    const std::string target = folder.write("target.bin", "old bytes");
    Recorder recorder;

    EXPECT_EQ(fetchToFile(server.url("/big.bin"), target, recorder.transfer()), FetchEnd::Fetched);
    EXPECT_EQ(readFile(target), std::string(200000, 'b'));
    ASSERT_GE(recorder.events.size(), 3u);
    EXPECT_EQ(recorder.events.back(), "end");
    EXPECT_EQ(recorder.events[recorder.events.size() - 2], "at 200000");
    EXPECT_NE(std::find(recorder.events.begin(), recorder.events.end(), "begin 200000"), recorder.events.end());

    // Every answer but a 2xx is a failed download, and a body longer than the manifest says ends.
    struct Case {
        std::string url;
        std::optional<std::uint64_t> maxBytes;
        FetchEnd end;
    };
    const Case cases[] = {
        {server.url("/nothing-here"), {}, FetchEnd::Failed},
        {server.url("/moved"), {}, FetchEnd::Failed},
        {"http://127.0.0.1:" + std::to_string(refusingPort()) + "/x", {}, FetchEnd::Failed},
        {server.url("/big.bin"), 1000, FetchEnd::TooLong},
    };
    for (const Case& c : cases) {
        folder.write("target.bin", "old bytes");
        recorder.events.clear();
        EXPECT_EQ(fetchToFile(c.url, target, recorder.transfer(), c.maxBytes), c.end) << c.url;
        EXPECT_EQ(readFile(target), "old bytes") << c.url;
        EXPECT_EQ(recorder.events.back(), "end") << c.url;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"target.bin"}) << c.url;
    }
}

TEST(FetchToFile, silenceAndTricklesEndTheTransfer)
{
    UpdateServer server;
    struct Case {
        const char* what;
        std::string path; // pause between bytes, byte count
        std::chrono::milliseconds noProgress;
        std::optional<std::chrono::milliseconds> overall;
        FetchEnd end;
    };
    const Case cases[] = {
        {"one byte a second against a lowered silence limit", "/trickle/1000/5", std::chrono::milliseconds(300), {},
         FetchEnd::TimedOut},
        {"a steady trickle past the overall limit", "/trickle/50/100", std::chrono::seconds(5),
         std::chrono::milliseconds(400), FetchEnd::TimedOut},
        {"slow but steady and within both", "/trickle/20/10", std::chrono::seconds(5), std::chrono::seconds(10),
         FetchEnd::Fetched},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("t.bin", "old");
        TransferEvents events;
        events.noProgressLimit = c.noProgress;
        events.overallLimit = c.overall;
        EXPECT_EQ(fetchToFile(server.url(c.path), folder.file("t.bin"), events), c.end) << c.what;
        EXPECT_EQ(readFile(folder.file("t.bin")), c.end == FetchEnd::Fetched ? std::string(10, 't') : "old") << c.what;
    }
}

TEST(FetchToFile, theOverallLimitGrowsWithTheSize)
{
    using std::chrono::minutes;
    const std::pair<std::uint64_t, std::chrono::milliseconds> cases[] = {
        {0, minutes(10)},           {1, minutes(11)},
        {10'000'000, minutes(11)},  {10'000'001, minutes(12)},
        {100'000'000, minutes(20)}, {UINT64_MAX, minutes(10 + 100000)},
    };
    for (const auto& [bytes, limit] : cases)
        EXPECT_EQ(downloadTimeLimit(bytes), limit) << bytes;
    EXPECT_EQ(TransferEvents().noProgressLimit, std::chrono::seconds(60));
}

TEST(FetchToFile, theStopFlagEndsAStalledTransfer)
{
    UpdateServer server;
    TempFolder folder;
    std::atomic<bool> stop{false};
    TransferEvents events;
    events.stop = &stop;
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        stop = true;
    });
    EXPECT_EQ(fetchToFile(server.url("/stalled"), folder.file("s.bin"), events), FetchEnd::Failed);
    closer.join();
    EXPECT_FALSE(fileExists(folder.file("s.bin")));
}

TEST(DownloadLoop, theStateColumnSaysFailedWithTheUpdatersOwnReasonOnly)
{
    struct Case {
        ItemState state;
        std::string failure;
        std::string shown;
    } cases[] = {
        {ItemState::Downloading, "", "下载中"},
        {ItemState::Done, "", "完成"},
        {ItemState::Failed, failureText(UpdateFailure::HashMismatch),
         "失败" + gbkToUtf8(failureText(UpdateFailure::HashMismatch)).substr(std::string("升级失败").size())},
        {ItemState::Failed, gbk("连接失败"), "失败"}, // not one of the updater's own texts
        {ItemState::Failed, "", "失败"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(gbkToUtf8(itemStateText(c.state, c.failure)), c.shown) << c.shown;
}

TEST(DownloadItem, neverReplacesTheProgramsOwnFiles)
{
    UpdateServer server;
    const std::string own[] = {"quillmarkbox", "$del$.bat", "保存设置.ini", "test.xml", "update.ini", "tmp.ini",
                               "Harrowlog.tmp"};
    const std::string names[] = {"quillmarkbox", "QUILLMARKBOX", "sub/QuillMarkBox", "$DEL$.BAT", "保存设置.INI",
                                 "Test.XML", "UPDATE.ini", "tmp.INI", "harrowlog.TMP", "update.JOURNAL"};
    for (const std::string& name : names) {
        TempFolder folder;
        for (const std::string& file : own)
            folder.write(file, "own");
        const Status done = downloadItem(servedEntry(server, name, "/x", "downloaded"), optionsFor(folder));
        EXPECT_EQ(done.message(), failureText(UpdateFailure::ProtectedName)) << name;
        for (const std::string& file : own)
            EXPECT_EQ(readFile(folder.file(file)), "own") << name << " " << file;
        EXPECT_EQ(server.requests("/x"), 0) << name; // refused before a byte is fetched
    }
    // Where the package and the program are one file, the package is refused too.
    TempFolder folder;
    folder.write("Quillmarkbox", "the running program");
    DownloadOptions options = optionsFor(folder);
    options.executableName = "Quillmarkbox";
    EXPECT_FALSE(downloadItem(servedEntry(server, "Quillmarkbox", "/p", "package"), options));
    EXPECT_EQ(readFile(folder.file("Quillmarkbox")), "the running program");
    // The names are those the settings file and the site list really have.
    EXPECT_EQ(kSiteListFileName, kSiteListFile);
    EXPECT_TRUE(SettingsFile::defaultPath().ends_with("/" + std::string(kSettingsFileName)));
}

TEST(DownloadItem, aDataArchiveMayHoldNoneOfTheProgramsFiles)
{
    UpdateServer server;
    const std::string entries[] = {"quillmarkbox", "QuillMarkBox", "dir/quillmarkbox", "Quillmarkbox", "Harrowlog.tmp",
                                   "$del$.bat", gbk("保存设置.ini"), gbk("配置\\保存设置.INI"), "TEST.xml",
                                   "update.ini", "tmp.ini", "update.journal"};
    for (const std::string& entry : entries) {
        TempFolder folder;
        folder.write("quillmarkbox", "the running program");
        folder.write("保存设置.ini", "settings");
        folder.write("words.txt", "old words");
        const std::string archive = zipBytes({{"words.txt", "new words"}, {entry, "attacker's text"}});
        const Status done = downloadItem(servedEntry(server, "data.zip", "/data.zip", archive), optionsFor(folder));
        EXPECT_EQ(done.message(), failureText(UpdateFailure::ProtectedName)) << entry;
        EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"quillmarkbox", "words.txt", "保存设置.ini"}))
            << entry;
        EXPECT_EQ(readFile(folder.file("quillmarkbox")), "the running program") << entry;
        EXPECT_EQ(readFile(folder.file("words.txt")), "old words") << entry;
    }
}

TEST(DownloadItem, refusesWhatTheSignedManifestDoesNotVouchFor)
{
    UpdateServer server;
    const std::string archive = zipBytes({{"words.txt", "new words"}});
    server.serve("/tampered.zip", zipBytes({{"words.txt", "ATTACKER!"}})); // as long as the genuine one
    struct Case {
        const char* what;
        UpdateEntry entry;
        UpdateFailure failure;
    };
    UpdateEntry good = servedEntry(server, "data.zip", "/data.zip", archive);
    UpdateEntry noHash = good, noSize = good, badHash = good, longer = good, shorter = good, tampered = good;
    noHash.sha256.clear();
    noSize.bytes = "12 KB";
    badHash.sha256[0] = badHash.sha256[0] == 'a' ? 'b' : 'a';
    longer.bytes = std::to_string(archive.size() - 1);
    shorter.bytes = std::to_string(archive.size() + 1);
    tampered.url = server.url("/tampered.zip");
    const Case cases[] = {
        {"no hash", noHash, UpdateFailure::NoChecksum},
        {"a size that is no byte count", noSize, UpdateFailure::NoChecksum},
        {"another hash", badHash, UpdateFailure::HashMismatch},
        {"longer than the manifest says", longer, UpdateFailure::SizeMismatch},
        {"shorter than the manifest says", shorter, UpdateFailure::SizeMismatch},
        {"a package changed on the server", tampered, UpdateFailure::HashMismatch},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("words.txt", "old words");
        EXPECT_EQ(downloadItem(c.entry, optionsFor(folder)).message(), failureText(c.failure)) << c.what;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{"words.txt"}) << c.what;
        EXPECT_EQ(readFile(folder.file("words.txt")), "old words") << c.what;
    }
    TempFolder folder;
    EXPECT_TRUE(downloadItem(good, optionsFor(folder))) << "the same entry, untouched";
    EXPECT_EQ(readFile(folder.file("words.txt")), "new words");
}

TEST(DownloadItem, aTrickleEndsAtTheOverallLimit)
{
    UpdateServer server;
    TempFolder folder;
    DownloadOptions options = optionsFor(folder);
    options.overallLimit = std::chrono::milliseconds(400);
    const std::string bytes(100, 't');
    UpdateEntry entry{"data.zip", "", "2010-1-1", "", server.url("/trickle/50/100"), "100", sha256Hex(bytes)};
    EXPECT_EQ(downloadItem(entry, options).message(), failureText(UpdateFailure::TimedOut));
    EXPECT_TRUE(filesIn(folder.path()).empty());
}

TEST(DownloadItem, neverWritesThroughALink)
{
    UpdateServer server;
    struct Case {
        const char* what;
        std::string link;       // in the program folder, pointing outside
        std::string item;       // the downloaded file's name
        std::vector<ZipEntry> archive;
    };
    const Case cases[] = {
        {"an archive entry", "words.txt", "data.zip", {{"words.txt", "new words"}}},
        {"the package", "Quillmarkbox", "Quillmarkbox", {{"Quillmarkbox.exe", "new program"}}},
        {"the installed record", "update.ini", "data.zip", {{"other.txt", "x"}}},
    };
    for (const Case& c : cases) {
        TempFolder outside;
        const std::string target = outside.write("target", "outside");
        TempFolder folder;
        std::filesystem::create_symlink(target, folder.file(c.link));
        const Status done =
            downloadItem(servedEntry(server, c.item, "/" + c.item, zipBytes(c.archive)), optionsFor(folder));
        EXPECT_FALSE(done) << c.what;
        EXPECT_EQ(readFile(target), "outside") << c.what;
        EXPECT_EQ(filesIn(folder.path()), std::vector<std::string>{c.link}) << c.what;
    }
}

TEST(DownloadLoop, fetchesTickedItemsUnpacksArchivesRecordsThemAndKeepsThePackage)
{
    UpdateServer server;
    const std::string broken = zipBytes({{"kept.txt", "new"}, {"more.txt", std::string(3000, 'm')}});
    const std::string words = zipBytes({{"data/words.txt", "words"}});
    TempFolder folder;
    folder.write("kept.txt", "old");
    folder.write("update.ini", "[other_zip]\nDate=2001-1-1\n");
    std::vector<ListedItem> items = {
        {servedEntry(server, "data.zip", "/data.zip", words)},
        {servedEntry(server, "skipped.zip", "/data.zip", words), false},
        {servedEntry(server, "gone.zip", "/gone.zip", "x")},
        {servedEntry(server, "tool.exe", "/tool.exe", "MZ not an archive")},
        {servedEntry(server, "Quillmarkbox", "/package", zipBytes({{"Quillmarkbox.exe", "new program"}}))},
        {servedEntry(server, "../outside.zip", "/data.zip", words)},
        {servedEntry(server, "..", "/dots", "x")},
        {servedEntry(server, "broken.zip", "/broken.zip", broken.substr(0, broken.size() - 30))},
    };
    server.remove("/gone.zip");
    items[3].entry.dateText = "no date";
    std::vector<std::vector<ItemState>> states(items.size());
    std::vector<std::size_t> passed;
    DownloadReport report{[&](std::size_t item, ItemState state, const Status&) { states[item].push_back(state); },
                          [&](std::size_t item) { passed.push_back(item); }};

    downloadTicked(items, optionsFor(folder), report);

    using S = ItemState;
    const std::vector<std::vector<S>> expected = {{S::Downloading, S::Done},   {},
                                                  {S::Downloading, S::Failed}, {S::Downloading, S::Done},
                                                  {S::Downloading, S::Done},   {S::Downloading, S::Done},
                                                  {S::Downloading, S::Failed}, {S::Downloading, S::Failed}};
    EXPECT_EQ(states, expected);
    EXPECT_EQ(passed, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6, 7}));
    // Archives and other downloads are gone after unpacking; the package waits for the replacement.
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"Quillmarkbox", "kept.txt", "update.ini", "words.txt"}));
    EXPECT_EQ(readFile(folder.file("kept.txt")), "old"); // a broken archive replaces nothing
    EXPECT_FALSE(fileExists(std::filesystem::path(folder.path()).parent_path() / "outside.zip"));
    // What was installed is recorded, so the next check does not offer it again.
    const std::string record = readFile(folder.file("update.ini"));
    for (const char* line : {"[other_zip]", "[data_zip]\nDate=2010-1-1", "[tool_exe]\nDate=2026-12-11",
                             "[__/outside_zip]\nDate=2010-1-1"})
        EXPECT_NE(record.find(line), std::string::npos) << line << " in " << record;
    EXPECT_EQ(record.find("Quillmarkbox"), std::string::npos); // recorded when it is installed
}
