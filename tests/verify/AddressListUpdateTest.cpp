#include "verify/AddressListUpdate.h"

#include "platform/CodePage.h"
#include "support/LoopbackServer.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sys/stat.h>

using namespace quill;
using test::LoopbackServer;

namespace {

constexpr std::int64_t kNow = 1765411200; // 2025-12-11
constexpr std::int64_t kDay = 24 * 3600;

int listIndex(const char* fileName) { return *publishedListIndex(fileName); }

AddressList list(const char* fileName, std::vector<const char*> prefixes, std::int64_t date = kNow - kDay)
{
    AddressList result{listIndex(fileName), date, date, {}};
    for (const char* text : prefixes)
        result.prefixes.push_back(*parseAddressPrefix(text));
    return result;
}

const ListChange& changeOf(const ListUpdate& update, const char* fileName)
{
    return update.changes.at(static_cast<size_t>(listIndex(fileName)));
}

std::string googleShaped(const char* created, std::vector<const char*> prefixes)
{
    std::string json = std::string(R"({"creationTime": ")") + created + R"(", "prefixes": [)";
    for (size_t i = 0; i < prefixes.size(); ++i)
        json += std::string(i ? "," : "") + R"({"ipv4Prefix": ")" + prefixes[i] + R"("})";
    return json + "]}";
}

// Every list host pointed at one loopback server.
class ListServer {
public:
    ListServer()
    {
        std::set<std::string> variables;
        for (const PublishedList& list : publishedLists())
            if (variables.insert(list.hostVariable).second)
                m_hosts.push_back(std::make_unique<test::ScopedEnv>(list.hostVariable.c_str(), server.url("")));
    }
    void serve(const char* path, std::string body, int status = 200)
    {
        server->Get(path, [body = std::move(body), status](const httplib::Request&, httplib::Response& response) {
            response.status = status;
            response.set_content(body, "application/json");
        });
    }

    LoopbackServer server;

private:
    std::vector<std::unique_ptr<test::ScopedEnv>> m_hosts;
};

ListSource quickSource()
{
    ListSource source;
    source.connectTimeout = std::chrono::seconds(2);
    source.idleTimeout = std::chrono::seconds(2);
    source.totalTimeout = std::chrono::seconds(5);
    source.maxBytes = 64 << 10;
    return source;
}

TEST(AddressListUpdate, downloadsEachFormatAndNeverReplacesAGoodListWithABadOne)
{
    ListServer lists;
    lists.serve("/gptbot.json", googleShaped("2025-12-10T20:00:00.000000", {"20.171.206.0/24", "52.230.152.0/24"}));
    lists.serve("/searchbot.json", R"(["20.42.10.176/28", "2603:1030::/32"])");
    lists.serve("/chatgpt-user.json", R"({"prefixes": [{"ipv4Prefix": "23.98.142.176/28"})"); // cut short
    std::string huge = R"({"prefixes": [)";
    while (huge.size() < (100 << 10))
        huge += R"({"ipv4Prefix": "160.79.104.0/23"},)";
    lists.serve("/crawling/bots.json", huge + R"({"ipv4Prefix": "160.79.104.0/23"}]})");
    lists.serve("/perplexitybot.json", googleShaped("2025-10-01T00:00:00", {"3.224.62.45/32"})); // 71 days old
    lists.serve("/static/crawling/ipranges/common-crawlers.json", "gone", 404);
    lists.server.start();

    const AddressLists kept({list("gptbot.json", {"20.171.206.0/24", "4.227.36.0/25"}),
                             list("chatgpt-user.json", {"23.98.142.176/28"})});
    const ListUpdate update = updateAddressLists(kept, quickSource(), kNow);
    ASSERT_EQ(update.changes.size(), publishedLists().size());
    EXPECT_TRUE(update.anyNew());

    const ListChange& gptbot = changeOf(update, "gptbot.json");
    EXPECT_EQ(gptbot.kind, ListChangeKind::Changed);
    EXPECT_EQ(gptbot.added, 1u);
    EXPECT_EQ(gptbot.removed, 1u);
    EXPECT_EQ(gptbot.date, kNow - 4 * 3600);
    EXPECT_EQ(listChangeText(gptbot), "gptbot.json: +1 -1" + gbk("，共 2 段（2025-12-10）"));

    const ListChange& searchbot = changeOf(update, "searchbot.json");
    EXPECT_EQ(searchbot.kind, ListChangeKind::Added);
    EXPECT_EQ(searchbot.total, 2u);
    EXPECT_EQ(searchbot.date, kNow); // the list states no date: the day it was fetched

    const ListChange& malformed = changeOf(update, "chatgpt-user.json");
    EXPECT_EQ(malformed.kind, ListChangeKind::Failed);
    EXPECT_NE(listChangeText(malformed).find(gbk("保留旧表")), std::string::npos);

    const ListChange& tooLarge = changeOf(update, "bots.json");
    EXPECT_EQ(tooLarge.kind, ListChangeKind::Failed);
    EXPECT_NE(tooLarge.read.message().find(gbk("表过大")), std::string::npos);
    EXPECT_NE(listChangeText(tooLarge).find(gbk("没有旧表")), std::string::npos);

    const ListChange& stale = changeOf(update, "perplexitybot.json");
    EXPECT_EQ(stale.kind, ListChangeKind::Added);
    EXPECT_TRUE(stale.stale);
    EXPECT_NE(listChangeText(stale).find(gbk("已过期")), std::string::npos);

    EXPECT_EQ(changeOf(update, "common-crawlers.json").read.message(), gbk("下载失败：") + "HTTP 404");

    // What is kept: the new lists, and the old one the malformed answer could not replace.
    const AddressLists& now = update.lists;
    EXPECT_EQ(now.lists().size(), 4u);
    EXPECT_EQ(now.find(listIndex("chatgpt-user.json"))->prefixes, kept.find(listIndex("chatgpt-user.json"))->prefixes);
    EXPECT_EQ(now.find(listIndex("gptbot.json"))->prefixes.size(), 2u);
    EXPECT_FALSE(now.find(listIndex("bots.json")));
    EXPECT_FALSE(now.find(listIndex("common-crawlers.json")));
}

TEST(AddressListUpdate, nothingReachableKeepsEveryList)
{
    ListServer lists; // answers 404 to everything
    lists.server.start();
    const AddressLists kept({list("gptbot.json", {"20.171.206.0/24"})});
    const ListUpdate update = updateAddressLists(kept, quickSource(), kNow);
    EXPECT_FALSE(update.anyNew());
    EXPECT_EQ(update.lists.lists().size(), 1u);
    EXPECT_EQ(changeOf(update, "gptbot.json").total, 1u);
}

TEST(AddressListUpdate, readsListsFromAFolderUnderTheirFileNames)
{
    test::TempFolder folder;
    folder.write("gptbot.json", googleShaped("2025-12-10T00:00:00", {"20.171.206.0/24"}));
    folder.write("searchbot.json", "not json");
    ASSERT_EQ(mkfifo(folder.file("ccbot.json").c_str(), 0600), 0); // a pipe never holds the update
    ListSource source = quickSource();
    source.folder = folder.path();
    const ListUpdate update = updateAddressLists(AddressLists{}, source, kNow);

    EXPECT_EQ(changeOf(update, "gptbot.json").kind, ListChangeKind::Added);
    EXPECT_EQ(changeOf(update, "searchbot.json").kind, ListChangeKind::Failed);
    EXPECT_FALSE(changeOf(update, "searchbot.json").absent);
    EXPECT_EQ(changeOf(update, "ccbot.json").kind, ListChangeKind::Failed);
    EXPECT_FALSE(changeOf(update, "ccbot.json").absent);
    EXPECT_TRUE(changeOf(update, "bots.json").absent);
    EXPECT_EQ(update.lists.lists().size(), 1u);
}

TEST(AddressListUpdate, stopKeepsWhatWasKept)
{
    const AddressLists kept({list("gptbot.json", {"20.171.206.0/24"})});
    const std::atomic<bool> stop{true};
    ListSource source = quickSource();
    source.stop = &stop;
    const ListUpdate update = updateAddressLists(kept, source, kNow);
    EXPECT_TRUE(update.stopped);
    EXPECT_EQ(update.lists.lists().size(), 1u);
}

TEST(AddressListUpdate, summaryNamesOldLists)
{
    EXPECT_EQ(listsSummaryText(AddressLists{}, kNow), gbk("尚未下载蜘蛛IP表"));
    const AddressLists lists({list("gptbot.json", {"20.171.206.0/24", "4.227.36.0/25"}, kNow - kDay),
                              list("ccbot.json", {"1.2.3.0/24"}, kNow - 40 * kDay)});
    EXPECT_EQ(listsSummaryText(lists, kNow),
              gbk("2 个表，3 段，最旧 2025-11-01；已过期: ") + "ccbot.json");
}

} // namespace
