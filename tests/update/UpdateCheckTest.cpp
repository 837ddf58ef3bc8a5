#include "update/UpdateCheck.h"

#include "support/Archives.h"
#include "support/TempFolder.h"
#include "support/UpdateServer.h"
#include "update/DownloadLoop.h"
#include "update/UpdateFailure.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

const int kToday = dayNumber(2026, 12, 11);

CheckOptions optionsFor(const UpdateServer& server)
{
    CheckOptions options;
    options.manifestUrl = server.manifestUrl();
    options.key = testKey().publicKey;
    options.events.caFile = loopbackCertificateFile();
    return options;
}

std::vector<std::string> names(const std::vector<UpdateEntry>& entries)
{
    std::vector<std::string> result;
    for (const UpdateEntry& entry : entries)
        result.push_back(entry.name);
    return result;
}

} // namespace

TEST(UpdateCheck, listsTheNewerFilesOfASignedManifestOverHttps)
{
    UpdateServer server(Scheme::Https);
    TempFolder folder;
    folder.write("update.ini", "[old_zip]\nDate=2010-1-1\n");
    const std::string manifest =
        server.item("1", "new.zip", "/new.zip", "n", "2010-1-2") + server.item("2", "old.zip", "/old.zip", "o", "2010-1-1");
    server.publish(manifest);

    const Result<CheckResult> checked = checkForUpdates(folder.path(), optionsFor(server), kToday);

    ASSERT_TRUE(checked) << checked.status().message();
    EXPECT_EQ(names(checked.value().newer), std::vector<std::string>{"new.zip"});
    EXPECT_EQ(checked.value().newer.front().sha256, sha256Hex("n"));
    EXPECT_EQ(checked.value().newer.front().bytes, "1");
    EXPECT_TRUE(checked.value().listsFiles);
    EXPECT_EQ(readFile(folder.file("tmp.ini")), manifest);

    // A certificate the client does not trust is a failed check, as any failed transfer.
    CheckOptions untrusted = optionsFor(server);
    untrusted.events.caFile.clear();
    folder.write("tmp.ini", "kept");
    const Result<CheckResult> refused = checkForUpdates(folder.path(), untrusted, kToday);
    EXPECT_FALSE(refused);
    EXPECT_FALSE(isUpdateFailure(refused.status()));
    EXPECT_EQ(readFile(folder.file("tmp.ini")), "kept");
}

TEST(UpdateCheck, refusesManifestsTheReleaseKeyDidNotSign)
{
    UpdateServer server;
    const std::string manifest = server.item("1", "a.zip", "/a.zip", "a");
    struct Case {
        const char* what;
        std::string served;          // the manifest as served
        const TestKey* signer;       // who signed what was served; null: no signature
        std::string signatureOf;     // empty: the served manifest
        UpdateFailure failure;
    };
    const Case cases[] = {
        {"no signature", manifest, nullptr, "", UpdateFailure::Unsigned},
        {"signed with another key", manifest, &otherKey(), "", UpdateFailure::BadSignature},
        {"changed after signing", manifest + "[2]\nName=evil.zip\n", &testKey(), manifest, UpdateFailure::BadSignature},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        folder.write("tmp.ini", "kept");
        server.publish(c.served, c.signer);
        if (!c.signatureOf.empty())
            server.serve("/Quillmarkkit/update.txt.sig", signatureText(c.signatureOf, *c.signer));
        const Result<CheckResult> checked = checkForUpdates(folder.path(), optionsFor(server), kToday);
        EXPECT_EQ(checked.status().message(), failureText(c.failure)) << c.what;
        EXPECT_EQ(readFile(folder.file("tmp.ini")), "kept") << c.what;
    }
}

TEST(UpdateCheck, offersNothingTwiceAndNothingOlder)
{
    UpdateServer server;
    TempFolder folder;
    const std::string older = server.item("1", "words.zip", "/words-1.zip", zipBytes({{"words.txt", "old words"}}),
                                          "2010-1-1");
    const std::string newer = server.item("1", "words.zip", "/words-2.zip", zipBytes({{"words.txt", "new words"}}),
                                          "2010-6-1");
    server.publish(older);
    ASSERT_EQ(checkForUpdates(folder.path(), optionsFor(server), kToday).value().newer.size(), 1u);
    server.publish(newer);
    const Result<CheckResult> first = checkForUpdates(folder.path(), optionsFor(server), kToday);
    ASSERT_EQ(first.value().newer.size(), 1u);
    DownloadOptions download;
    download.folder = folder.path();
    download.executableName = "quillmarkbox";
    ASSERT_TRUE(downloadItem(first.value().newer.front(), download));

    // The same manifest again, and an older one replayed with its genuine signature: nothing newer.
    for (const std::string& manifest : {newer, older}) {
        server.publish(manifest);
        const Result<CheckResult> again = checkForUpdates(folder.path(), optionsFor(server), kToday);
        ASSERT_TRUE(again);
        EXPECT_TRUE(again.value().newer.empty());
        EXPECT_TRUE(again.value().listsFiles); // the window says "已是最新版本"
    }
    EXPECT_EQ(readFile(folder.file("words.txt")), "new words");
    server.publish("");
    EXPECT_FALSE(checkForUpdates(folder.path(), optionsFor(server), kToday).value().listsFiles);
}

TEST(UpdateCheck, aProgramUnderTheSystemsFoldersIsThePackageManagers)
{
    TempFolder folder;
    const std::pair<std::string, bool> cases[] = {
        {"/usr/bin", true}, {"/usr/lib/quillmarkbox", true}, {"/usr", true}, {"/usrx", true /* not there */},
        {folder.path(), false}, {"/nonexistent/folder", true},
    };
    for (const auto& [path, managed] : cases)
        EXPECT_EQ(isManagedInstall(path), managed) << path;
}
