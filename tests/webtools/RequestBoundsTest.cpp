// Every request of the web tools ends: on a silent server, a server that sends one byte at a
// time, a body without end, a body far beyond the cap, and when the user stops it.

#include "webtools/KeywordTools.h"
#include "webtools/PageTools.h"
#include "webtools/WebRequests.h"

#include "platform/CodePage.h"
#include "support/ScopedEnv.h"
#include "support/LoopbackServer.h"
#include "support/StreamServer.h"

#include <gtest/gtest.h>

#include <thread>

using namespace quill;
using namespace std::chrono_literals;
using quill::test::StreamServer;

using quill::test::ScopedEnv;

namespace {

// Short limits, so a test waits fractions of a second where the program waits seconds.
WebContext quick(std::size_t maxBody = 1 << 20)
{
    WebContext context;
    context.limits = {300ms, 300ms, 900ms, maxBody};
    return context;
}

std::string hostOf(const StreamServer& server) { return "127.0.0.1:" + std::to_string(server.port()); }

} // namespace

TEST(RequestBounds, everyToolEndsOnServersThatNeverFinish)
{
    StreamServer silent(StreamServer::Mode::Silent);
    // A header line every 60 ms keeps the idle limit from ever running out; the total limit ends it.
    StreamServer trickle(StreamServer::Mode::Trickle, 10ms);
    const WebContext context = quick();
    const std::string timedOut = gbk("连接超时");
    for (const StreamServer* server : {&silent, &trickle}) {
        EXPECT_EQ(fetchPageReporting(server->url(), context).status().message(), timedOut);
        EXPECT_EQ(fetchForTool(WebTool::PageHeadAndLinks, server->url(), context).status().message(), timedOut);
        // "纯文本" and "相关搜索" once waited for ever.
        const Result<std::string> text = pagePlainText(hostOf(*server) + "/", context);
        EXPECT_FALSE(text.ok());
        EXPECT_EQ(text.status().message(), timedOut);
        ScopedEnv baidu("QUILLMARK_BAIDU_HOST", hostOf(*server));
        ScopedEnv suggestion("QUILLMARK_SUGGESTION_HOST", hostOf(*server));
        EXPECT_EQ(relatedSearches("k", context).status().message(), timedOut);
        EXPECT_EQ(keywordSuggestions("k", context).status().message(), timedOut);
    }
}

TEST(RequestBounds, bodiesAreCutAtTheCap)
{
    // The program's own cap: 32 MiB of a 200 MiB body, and the rest is never read.
    StreamServer huge(StreamServer::Mode::Sized, 0ms, std::uint64_t(200) << 20);
    WebContext context;
    const Result<std::string> page = fetchForTool(WebTool::PlainText, huge.url(), context);
    ASSERT_TRUE(page.ok());
    EXPECT_EQ(page.value().size(), std::size_t(32) << 20);
    EXPECT_LT(huge.sent(), std::uint64_t(100) << 20);

    StreamServer endless(StreamServer::Mode::Endless);
    context = quick(1 << 20);
    context.limits.total = 60s; // the cap, not the clock, ends this one
    const Result<std::string> fetched = fetchPageReporting(endless.url(), context);
    ASSERT_TRUE(fetched.ok()) << fetched.status().message();
    EXPECT_EQ(fetched.value().size(), std::size_t(1) << 20);
}

TEST(RequestBounds, stoppingEndsARequestUnderWay)
{
    StreamServer silent(StreamServer::Mode::Silent);
    std::atomic<bool> stop{false};
    WebContext context;
    context.stop = &stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(100ms);
        stop = true;
    });
    const Result<std::string> fetched = fetchPageReporting(silent.url(), context); // 10 s limits: only the stop ends it
    stopper.join();
    EXPECT_EQ(fetched.status().message(), gbk("已取消"));
}

TEST(RequestBounds, failuresTheResultsLeaveSilentHaveWords)
{
    test::LoopbackServer server;
    server->Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
    });
    server->Get("/loop", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/loop"); });
    server->Get(R"(/chain/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        const int left = std::stoi(request.matches[1]);
        if (left == 0)
            response.set_content("<title>end</title>", "text/html");
        else
            response.set_redirect("/chain/" + std::to_string(left - 1), 302);
    });
    server.start();
    struct Case {
        std::string url;
        const char* status;
    };
    const Case cases[] = {
        {server.url("/status/404"), "HEAD 分析: HTTP 404"},
        {server.url("/status/500"), "HEAD 分析: HTTP 500"},
        {server.url("/loop"), "HEAD 分析: 重定向过多"},
        {server.url("/chain/15"), "HEAD 分析: 完成"},
        {"http://127.0.0.1:" + std::to_string(test::refusingPort()) + "/", "HEAD 分析: 连接失败"},
    };
    for (const Case& c : cases) {
        const Result<std::string> answer = fetchPageAsGbk(WebTool::PageHeadAndLinks, c.url, quick());
        EXPECT_EQ(toolStatus(gbk("HEAD 分析"), answer.status()), gbk(c.status)) << c.url;
    }
    // FetchPage has no use for a 204 and says so.
    EXPECT_EQ(fetchPageReporting(server.url("/status/204"), quick()).status().message(), "HTTP 204");
}

TEST(RequestBounds, siteTextLosesEveryControlByteBeforeARequestIsBuilt)
{
    const std::pair<std::string, std::string> cases[] = {
        {"example.test/a\r\nX-Injected: 1", "http://example.test/aX-Injected: 1"},
        {"\texample.test\x7F/\x01", "http://example.test/"},
        {"http://\xD6\xD0\xCE\xC4.test/", "http://\xD6\xD0\xCE\xC4.test/"}, // GBK bytes stay
    };
    for (const auto& [box, address] : cases)
        EXPECT_EQ(pageAddress(box), address) << box;
}

TEST(RequestBounds, limitsComeFromTheEnvironmentWhenWellFormed)
{
    const std::pair<const char*, WebLimits> cases[] = {
        {"100,200,300", {100ms, 200ms, 300ms}},
        {"100,200", {}},
        {"100,200,300,400", {}},
        {"100,x,300", {}},
        {"0,200,300", {}},
        {"", {}},
    };
    for (const auto& [text, limits] : cases) {
        ScopedEnv env("QUILLMARK_WEB_TIMEOUTS_MS", text);
        const WebLimits got = webLimitsFromEnvironment();
        EXPECT_EQ(got.connect, limits.connect) << text;
        EXPECT_EQ(got.idle, limits.idle) << text;
        EXPECT_EQ(got.total, limits.total) << text;
    }
}
