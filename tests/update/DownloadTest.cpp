#include "update/DownloadLoop.h"
#include "update/SelfReplacement.h"

#include "support/UpdateTestSupport.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

using namespace quill;
using namespace quill::test;

namespace {

std::string zipBytes(const std::vector<ZipEntry>& entries)
{
    TempFolder scratch;
    writeZip(scratch.file("z.zip"), entries);
    return readFile(scratch.file("z.zip"));
}

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

    for (const std::string& url : {server.server.url("/cut"), server.url("nothing-here"),
                                   "http://127.0.0.1:" + std::to_string(refusingPort()) + "/x"}) {
        folder.write("target.bin", "old bytes");
        recorder.events.clear();
        EXPECT_FALSE(fetchToFile(url, target, recorder.transfer())) << url;
        EXPECT_EQ(readFile(target), "old bytes") << url;
        EXPECT_EQ(recorder.events.back(), "end") << url;
        EXPECT_EQ(std::filesystem::directory_iterator(folder.path())->path().filename(), "target.bin") << url;
    }
}

TEST(DownloadLoop, fetchesTickedItemsUnpacksArchivesAndKeepsThePackage)
{
    UpdateServer server;
    server.files["data.zip"] = zipBytes({{"data/words.txt", "words"}});
    server.files["tool.exe"] = "MZ not an archive";
    server.files["package"] = zipBytes({{"Quillmarkbox.exe", "new program"}});
    server.start();
    TempFolder folder;
    ListStub list;
    list.items = {
        {true, "data.zip", server.url("data.zip"), {}},
        {false, "skipped.zip", server.url("data.zip"), {}},
        {true, "gone.zip", server.url("gone.zip"), {}},
        {true, "tool.exe", server.url("tool.exe"), {}},
        {true, "Quillmarkbox", server.url("package"), {}},
        {true, "../outside.zip", server.url("data.zip"), {}},
        {true, "..", server.url("data.zip"), {}},
    };

    downloadTicked(list, folder.path(), {});

    using S = ItemState;
    const std::vector<std::vector<S>> states = {{S::Downloading, S::Done},   {},
                                                {S::Downloading, S::Failed}, {S::Downloading, S::Done},
                                                {S::Downloading, S::Done},   {S::Downloading, S::Done},
                                                {S::Downloading, S::Failed}};
    for (std::size_t i = 0; i < list.items.size(); ++i)
        EXPECT_EQ(list.items[i].states, states[i]) << list.items[i].name;
    EXPECT_EQ(list.passedItems, (std::vector<std::size_t>{0, 1, 2, 3, 4, 5, 6}));
    // Archives and other downloads are gone after unpacking; the package waits for the replacement.
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{"Quillmarkbox", "words.txt"}));
    EXPECT_FALSE(fileExists(std::filesystem::path(folder.path()).parent_path() / "outside.zip"));
}

TEST(SelfReplacement, theBatchKeepsItsSevenLines)
{
    // Deliberate: byte for byte what the clean-up batch has always held, quotes of line 3 included.
    EXPECT_EQ(cleanupBatchText(), ":try2\r\ndel Harrowlog.tmp\r\nif exist \"Harrowlog.tmp\" goto try2\r\n"
                                  "Quillmarkbox.exe\r\ndel %0\r\ncls\r\nexit\r\n");
}

TEST(SelfReplacement, replacesTheExecutableAndStartsTheNewOne)
{
    TempFolder folder;
    folder.write("quillmarkbox", "the running program");
    folder.write("Harrowlog.tmp", "left over from an earlier update");
    folder.write("Quillmarkbox.exe", "stale");
    // The stand-in new program leaves a mark in the folder it was started in.
    writeZip(folder.file("Quillmarkbox"), {{"Quillmarkbox.exe", "#!/bin/sh\necho started > started.txt\n"},
                                           {"words.txt", "new words"}});

    ASSERT_EQ(replaceExecutable(folder.path(), "quillmarkbox"), ReplaceOutcome::Started);

    EXPECT_TRUE(waitUntil([&] {
        return fileExists(folder.file("started.txt")) && !fileExists(folder.file("$del$.bat")) &&
               !fileExists(folder.file("Harrowlog.tmp"));
    }));
    EXPECT_EQ(readFile(folder.file("started.txt")), "started\n");
    EXPECT_EQ(readFile(folder.file("Quillmarkbox.exe")), "#!/bin/sh\necho started > started.txt\n");
    EXPECT_EQ(readFile(folder.file("words.txt")), "new words");
    EXPECT_FALSE(fileExists(folder.file("quillmarkbox")));
    EXPECT_FALSE(fileExists(folder.file("Quillmarkbox")));
}

TEST(SelfReplacement, stopsWithTheProgramInPlace)
{
    struct Case {
        const char* what;
        std::vector<ZipEntry> package; // none: no package downloaded
        bool hasPackage;
        const char* executable;
        ReplaceOutcome outcome;
    };
    const Case cases[] = {
        {"no package", {}, false, "quillmarkbox", ReplaceOutcome::NoPackage},
        {"executable missing", {{"Quillmarkbox.exe", "new"}}, true, "not-there", ReplaceOutcome::RenameFailed},
        {"package without the program", {{"readme.txt", "hi"}}, true, "quillmarkbox", ReplaceOutcome::PackageBroken},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("quillmarkbox", "the running program");
        folder.write("Harrowlog.tmp", "left over");
        if (c.hasPackage)
            writeZip(folder.file("Quillmarkbox"), c.package);
        EXPECT_EQ(replaceExecutable(folder.path(), c.executable), c.outcome) << c.what;
        EXPECT_EQ(readFile(folder.file("quillmarkbox")), "the running program") << c.what;
        EXPECT_FALSE(fileExists(folder.file("Harrowlog.tmp"))) << c.what;
        EXPECT_FALSE(fileExists(folder.file("$del$.bat"))) << c.what;
    }
    // A package that is no archive at all counts as one without the program.
    TempFolder folder;
    folder.write("quillmarkbox", "the running program");
    folder.write("Quillmarkbox", "garbage");
    EXPECT_EQ(replaceExecutable(folder.path(), "quillmarkbox"), ReplaceOutcome::PackageBroken);
    EXPECT_EQ(readFile(folder.file("quillmarkbox")), "the running program");
    EXPECT_FALSE(fileExists(folder.file("Quillmarkbox")));
}
