#include "webtools/KeywordTools.h"

#include "platform/CodePage.h"
#include "support/ScopedEnv.h"
#include "support/Results.h"
#include "support/LoopbackServer.h"
#include "support/RawTcpServer.h"
#include "webtools/WebRequests.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::LoopbackServer;
using quill::test::RawTcpServer;

using quill::test::ScopedEnv;

namespace {

// Sets an environment variable for the life of the object.
std::string answer(const std::string& body)
{
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

} // namespace

TEST(KeywordTools, oneKeywordGoesOutAsUtf8ForSuggestionsAndAsGbkForSearches)
{
    const std::string keyword = gbk("兴安盟");
    EXPECT_EQ(suggestionUrl("s.test", keyword), "http://s.test/su?wd=%E5%85%B4%E5%AE%89%E7%9B%9F");
    EXPECT_EQ(relatedSearchUrl("w.test", keyword), "http://w.test/baidu?wd=%D0%CB%B0%B2%C3%CB");
    EXPECT_EQ(suggestionUrl("s.test", ""), "http://s.test/su?wd=");
    EXPECT_EQ(relatedSearchUrl("w.test", "a b&c"), "http://w.test/baidu?wd=%61%20%62%26%63");
}

TEST(KeywordTools, suggestionRequestCarriesItsHeadersInOrder)
{
    RawTcpServer server({answer("window.bdsug.sug({q:\"k\",s:[\"a\",\"b\"]});")}, true);
    ScopedEnv host("QUILLMARK_SUGGESTION_HOST", "127.0.0.1:" + std::to_string(server.port()));
    const std::optional<std::string> value = test::valueOf(keywordSuggestions(gbk("兴安盟")));
    ASSERT_TRUE(value);
    EXPECT_EQ(*value, "a\r\nb");
    // The chosen Host leads, where HTTP clients put it; the rest leave in the order they are set.
    EXPECT_EQ(server.received(),
              "GET /su?wd=%E5%85%B4%E5%AE%89%E7%9B%9F HTTP/1.1\r\n"
              "Host: 127.0.0.1:" + std::to_string(server.port()) + "\r\n"
              "Accept: */*\r\n"
              "Accept-Language: zh-cn\r\n"
              "Connection: Keep-Alive\r\n"
              "User-Agent: " + std::string(BrowserUserAgent) + "\r\n"
              "Cookie: BAIDUID=5F3A9C0B7E21D4486A0F93C2B1E7D05A:FG=1; BDLFONT=0; BD_UTK_DVT=1\r\n"
              "\r\n");
}

TEST(KeywordTools, suggestionListIsCutQuotesDroppedAndCommasBroken)
{
    const std::pair<std::string, std::string> cases[] = {
        {gbk("sug({q:\"兴安盟\",s:[\"兴安盟地图\",\"兴安盟天气\"]});"), gbk("兴安盟地图\r\n兴安盟天气")},
        {"s:[]", ""},
        // A "]" before the first "[" leaves the list empty.
        {"] s:[\"a\"]", ""},
        {"no list", ""},
        // An escaped quote keeps its backslash; a comma inside a suggestion splits it.
        {"[\"say \\\"hi\\\"\",\"x,y\"]", "say \\hi\\\r\nx\r\ny"},
        // "]" as the trail byte of a GBK character does not end the list.
        {"[\"\x81]\"]", "\x81]"},
    };
    for (const auto& [page, lines] : cases)
        EXPECT_EQ(suggestionLines(page), lines) << page;
}

TEST(KeywordTools, relatedSearchBlockBecomesOnePhrasePerLine)
{
    const std::string form = "<form name=\"f2\"";
    const std::string start = gbk("相关搜索</td>");
    const std::pair<std::string, std::string> cases[] = {
        {start + "<td><a href=\"/s?wd=1\">" + gbk("兴安盟 地图") + "</a></td><td><a>" + gbk("天气") + "</a></td>" + form,
         gbk("兴安盟\r\n地图\r\n天气")},
        {"<html>no block</html>", ""},
        {start + "<a>x</a>", ""},
        {form + start + "<a>x</a>" + form, ""},
    };
    for (const auto& [page, lines] : cases)
        EXPECT_EQ(relatedSearchLines(page), lines) << page;
}

TEST(KeywordTools, relatedSearchesSendsTheBrowserAgentAndFollowsNoRedirect)
{
    LoopbackServer server;
    std::string target, agent, accept;
    server->Get("/baidu", [&](const httplib::Request& request, httplib::Response& response) {
        target = request.target;
        agent = request.get_header_value("User-Agent");
        accept = request.get_header_value("Accept");
        response.set_redirect("/elsewhere");
    });
    server.start();
    ScopedEnv host("QUILLMARK_BAIDU_HOST", "127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(test::valueOf(relatedSearches(gbk("兴安盟"))), "");
    EXPECT_EQ(target, "/baidu?wd=%D0%CB%B0%B2%C3%CB");
    EXPECT_EQ(agent, BrowserUserAgent);
    EXPECT_EQ(accept, "text/html, */*");
}

TEST(KeywordTools, failedRequestsGiveNothing)
{
    LoopbackServer server;
    server->Get("/su", [](const httplib::Request&, httplib::Response& response) { response.status = 500; });
    server->Get("/baidu", [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
    server.start();
    {
        ScopedEnv s("QUILLMARK_SUGGESTION_HOST", "127.0.0.1:" + std::to_string(server.port()));
        ScopedEnv b("QUILLMARK_BAIDU_HOST", "127.0.0.1:" + std::to_string(server.port()));
        EXPECT_EQ(keywordSuggestions("k").status().message(), "HTTP 500");
        EXPECT_EQ(relatedSearches("k").status().message(), "HTTP 404");
    }
    const std::string refused = "127.0.0.1:" + std::to_string(test::refusingPort());
    ScopedEnv s("QUILLMARK_SUGGESTION_HOST", refused);
    ScopedEnv b("QUILLMARK_BAIDU_HOST", refused);
    EXPECT_FALSE(keywordSuggestions("k").ok());
    EXPECT_FALSE(relatedSearches("k").ok());
}
