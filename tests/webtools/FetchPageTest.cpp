#include "webtools/WebRequests.h"

#include "platform/Hosts.h"
#include "support/Archives.h"
#include "support/LoopbackServer.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace std::chrono_literals;
using quill::test::LoopbackServer;

namespace {

class FetchPageTest : public testing::Test {
protected:
    void SetUp() override
    {
        server->Get("/page", [](const httplib::Request& request, httplib::Response& response) {
            std::string seen;
            for (const char* name : {"User-Agent", "Accept", "Content-Type", "Accept-Language", "Connection"})
                seen += std::string(name) + "=" + (request.has_header(name) ? request.get_header_value(name) : "-") + "\n";
            response.set_content(seen, "text/plain");
        });
        server->Get("/gbk", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("\xD5\xD2\xB5\xBD 1,230", "text/html; charset=gb2312");
        });
        // Compressed though the request asked for no encoding: once whole, once broken.
        server->Get("/gzip", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Encoding", "gzip");
            response.set_content(test::gzipBytes("zipped \xD5\xD2"), "text/html");
        });
        server->Get("/bad-gzip", [](const httplib::Request&, httplib::Response& response) {
            response.set_header("Content-Encoding", "gzip");
            response.set_content(std::string("\x1f\x8b\x08\x00zipped", 10), "text/html");
        });
        server->Get("/large", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string(20 * 1024 * 1024, 'x'), "text/html");
        });
        server->Get("/not-modified", [](const httplib::Request&, httplib::Response& response) {
            response.status = 304;
            response.set_header("Location", "/\xB1\xF0 \xFF?a=1");
        });
        server->Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            response.status = std::stoi(request.matches[1]);
            response.set_content("error page", "text/html");
        });
        server->Get(R"(/chain/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
            const int left = std::stoi(request.matches[1]);
            if (left == 0)
                response.set_content("end", "text/plain");
            else
                response.set_redirect("/chain/" + std::to_string(left - 1));
        });
        server->Get("/loop", [](const httplib::Request&, httplib::Response& response) { response.set_redirect("/loop"); });
        server->Get("/cut", [](const httplib::Request&, httplib::Response& response) {
            response.set_content_provider(1000, "text/html", [](size_t, size_t, httplib::DataSink& sink) {
                sink.write("half", 4);
                return false; // the server drops the connection mid-body
            });
        });
        server->Get("/silent", [this](const httplib::Request&, httplib::Response& response) {
            server.holdUntilReleased();
            response.set_content("late", "text/plain");
        });
        server.start();
    }

    LoopbackServer server;
};

} // namespace

TEST_F(FetchPageTest, sendsTheToolSettings)
{
    EXPECT_EQ(fetchPage(server.url("/page")), "User-Agent=Mozilla/4.0 " + makerHost() +
                                                  "\nAccept=text/html, */*\nContent-Type=text/html\n"
                                                  "Accept-Language=-\nConnection=-\n");
}

TEST_F(FetchPageTest, givesTheBodyOnlyForA200AndTheLocationForA304)
{
    struct Case {
        const char* path;
        std::string expected;
    };
    const Case cases[] = {
        // Bodies arrive as raw bytes: no character-set conversion. A compressed body is the text
        // it holds; a broken one is no answer.
        {"/gbk", "\xD5\xD2\xB5\xBD 1,230"},
        {"/gzip", "zipped \xD5\xD2"},
        {"/bad-gzip", ""},
        {"/large", std::string(20 * 1024 * 1024, 'x')},
        {"/chain/15", "end"},
        // Everything that is not a 200 or a 304 gives the empty text.
        {"/loop", ""},
        {"/chain/16", ""},
        {"/status/404", ""},
        {"/status/500", ""},
        {"/status/204", ""},
        {"/cut", ""},
        {"/not-modified", "location=/\xB1\xF0 \xFF?a=1"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fetchPage(server.url(c.path)), c.expected) << c.path;
}

TEST_F(FetchPageTest, aServerThatNeverAnswersOrIsNotThereGivesTheEmptyText)
{
    WebContext quick;
    quick.limits = {300ms, 300ms, 900ms};
    EXPECT_EQ(fetchPage(server.url("/silent"), quick), "");
    server.release();
    EXPECT_EQ(fetchPage("http://127.0.0.1:" + std::to_string(test::refusingPort()) + "/"), "");
}
