#include "webtools/PageTools.h"

#include "platform/CodePage.h"
#include "support/LoopbackServer.h"
#include "support/Results.h"
#include "text/HtmlText.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::LoopbackServer;

TEST(PageTools, pageAddressPrefixesAllButAnHttpStart)
{
    const std::pair<const char*, const char*> cases[] = {
        {"example.test/a", "http://example.test/a"},
        {"HTTP://Example.test/", "HTTP://Example.test/"},
        {"hTtP://x", "hTtP://x"},
        {" http://x", "http:// http://x"},
        {"https://x", "http://https://x"},
        {"http:/", "http://http:/"},
        {"", "http://"},
    };
    for (const auto& [box, address] : cases)
        EXPECT_EQ(pageAddress(box), address) << box;
}

namespace {

struct Seen {
    std::string agent, accept, contentType;
};

class PageToolsServer : public testing::Test {
protected:
    void SetUp() override
    {
        server->Get("/page", [this](const httplib::Request& request, httplib::Response& response) {
            seen = {request.get_header_value("User-Agent"), request.get_header_value("Accept"),
                    request.get_header_value("Content-Type")};
            response.set_content(page, "text/html");
        });
        server->Get("/moved", [](const httplib::Request&, httplib::Response& response) {
            response.set_redirect("/page");
            response.set_content("<p>moved</p>", "text/html");
        });
        server->Get("/gone", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<p>missing</p>", "text/html");
        });
        server.start();
    }

    // The site box's text for `path`, without the scheme the tools put in front.
    std::string box(const char* path) const { return server.url(path).substr(7); }

    LoopbackServer server;
    std::string page = "<title>T</title><p>body</p>";
    Seen seen;
};

} // namespace

TEST_F(PageToolsServer, eachToolSendsItsOwnSettings)
{
    const std::string url = server.url("/moved");
    // "HEAD 分析" and "所有链接" follow the redirect to the page.
    EXPECT_EQ(test::valueOf(fetchForTool(WebTool::PageHeadAndLinks, url)), page);
    EXPECT_EQ(seen.agent, toolUserAgent());
    EXPECT_EQ(seen.accept, "text/html, */*");
    EXPECT_EQ(seen.contentType, "text/html");
    // "纯文本" does not: it shows the redirect answer's own body.
    EXPECT_EQ(test::valueOf(pagePlainText(box("/moved"))), htmlToText("<p>moved</p>"));
    EXPECT_EQ(test::valueOf(pagePlainText(box("/page"))), htmlToText(page));
    EXPECT_EQ(seen.agent, BrowserUserAgent);
}

TEST_F(PageToolsServer, bodiesPassThroughAsBytesAndFailuresGiveNothing)
{
    page = "<title>\xE4\xB8\xAD</title>\x01\xFF"; // UTF-8 and stray bytes reach the tools unchanged
    EXPECT_EQ(test::valueOf(fetchForTool(WebTool::PageHeadAndLinks, server.url("/page"))), page);
    page.assign(20 * 1024 * 1024, 'x');
    EXPECT_EQ(test::valueOf(fetchForTool(WebTool::PageHeadAndLinks, server.url("/page"))), page);
    page.clear();
    EXPECT_EQ(test::valueOf(pagePlainText(box("/page"))), htmlToText(""));
    EXPECT_FALSE(pagePlainText(box("/gone")).ok());
    EXPECT_EQ(pagePlainText(box("/gone")).status().message(), "HTTP 404");
    EXPECT_FALSE(fetchForTool(WebTool::PageHeadAndLinks, server.url("/gone")).ok());
    EXPECT_FALSE(pagePlainText("127.0.0.1:" + std::to_string(test::refusingPort()) + "/").ok());
    // Line breaks in the site box are taken out before the request line is built.
    EXPECT_EQ(test::valueOf(pagePlainText(box("/pa\r\nge"))), htmlToText(""));
}
