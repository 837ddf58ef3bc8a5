#include "update/VersionCheckWorker.h"

#include "platform/QueueDispatcher.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

TEST(VersionCheck, readsTheLastBanbenOfTheDocument)
{
    const std::pair<const char*, double> cases[] = {
        {"<r><banben>1.04</banben></r>", 1.04},
        {"<?xml version=\"1.0\" encoding=\"gb2312\"?><r><ad>x</ad><banben> 1.1 </banben></r>", 1.1},
        {"<r><banben>1.5</banben><other/><banben>1.2</banben></r>", 1.2},
        {"<r><banben>1.03</banben></r>", 1.03},
        // Only children of the document element count.
        {"<r><x><banben>2</banben></x></r>", kVersionUnknown},
        {"<r><banben>abc</banben></r>", kVersionUnknown},
        {"<r><banben>2</banben><banben>abc</banben></r>", kVersionUnknown},
        {"<r><banben></banben></r>", kVersionUnknown},
        {"<r><banben>0</banben></r>", kVersionUnknown},
        {"<r><banben>1.2.3</banben></r>", kVersionUnknown},
        // Numbers that are no version: never polled for ever, never announced.
        {"<r><banben>nan</banben></r>", kVersionUnknown},
        {"<r><banben>inf</banben></r>", kVersionUnknown},
        {"<r><banben>-Infinity</banben></r>", kVersionUnknown},
        {"<r><banben>1e999</banben></r>", kVersionUnknown},
        {"<r></r>", kVersionUnknown},
        {"not xml at all", kVersionUnknown},
        {"<r><banben>1.04</banben>", kVersionUnknown},
        {"", kVersionUnknown},
    };
    for (const auto& [document, version] : cases)
        EXPECT_EQ(parseVersionDocument(document), version) << document;
}

TEST(VersionCheck, theTimerAnnouncesOnlyANewerVersion)
{
    const std::pair<double, VersionNotice> cases[] = {
        {kNoVersionYet, VersionNotice::KeepWaiting}, {1.0, VersionNotice::KeepWaiting},
        {1.03, VersionNotice::KeepWaiting},          {1.04, VersionNotice::Announce},
        {kVersionUnknown, VersionNotice::Stop},      {-1, VersionNotice::KeepWaiting},
    };
    for (const auto& [latest, notice] : cases)
        EXPECT_EQ(versionNotice(latest), notice) << latest;
}

TEST(VersionCheckWorker, postsTheServersVersionOverHttps)
{
    LoopbackServer server(Scheme::Https);
    server->Get("/Quillmarkkit/setxml.asp", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("<root><banben>1.04</banben></root>", "text/xml");
    });
    server->Get("/broken", [](const httplib::Request&, httplib::Response& response) { response.status = 500; });
    server.start();
    setenv("QUILLMARK_CA_FILE", loopbackCertificateFile().c_str(), 1);

    QueueDispatcher ui;
    VersionCheckWorker found(server.url("/Quillmarkkit/setxml.asp"), false, &ui);
    VersionCheckWorker failed(server.url("/broken"), false, &ui);
    VersionCheckWorker hidden(server.url("/Quillmarkkit/setxml.asp"), true, &ui);
    // The value reaches the owner only through its user-interface thread.
    EXPECT_EQ(found.latestVersion(), kNoVersionYet);
    EXPECT_TRUE(ui.runOne(std::chrono::seconds(10)));
    EXPECT_TRUE(ui.runOne(std::chrono::seconds(10)));
    unsetenv("QUILLMARK_CA_FILE");
    EXPECT_EQ(found.latestVersion(), 1.04);
    EXPECT_EQ(failed.latestVersion(), kVersionUnknown);
    EXPECT_EQ(hidden.latestVersion(), kNoVersionYet);
    EXPECT_EQ(versionDocumentUrl().substr(0, 8), "https://");
}

TEST(VersionCheckWorker, aServerThatNeverAnswersDoesNotHoldUpItsOwner)
{
    LoopbackServer server;
    std::atomic<bool> answered{false};
    server->Get("/slow", [&](const httplib::Request&, httplib::Response& response) {
        server.holdUntilReleased();
        answered = true;
        response.set_content("<r><banben>9</banben></r>", "text/xml");
    });
    server.start();
    QueueDispatcher ui;
    {
        VersionCheckWorker worker(server.url("/slow"), false, &ui);
    }
    // The worker ended its request itself, before the server ever answered.
    EXPECT_FALSE(answered);
}
