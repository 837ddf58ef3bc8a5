#include "platform/HttpClient.h"

#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quill;
using quill::test::readFile;
using namespace std::chrono_literals;
using quill::test::LoopbackServer;
using quill::test::TempFolder;

namespace {

std::string binaryBody()
{
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>((i * 7) % 256);
    return bytes;
}

// The routes every test here uses.
void addRoutes(LoopbackServer& server)
{
    server->Get("/headers", [](const httplib::Request& request, httplib::Response& response) {
        std::string text;
        for (const char* name : {"Accept", "Accept-Language", "Accept-Encoding", "Connection",
                                 "Content-Type", "Cookie", "Host", "User-Agent"})
            text += std::string(name) + "=" +
                    (request.has_header(name) ? request.get_header_value(name) : "<none>") + "\n";
        response.set_content(text, "text/plain");
    });
    server->Get("/final", [](const httplib::Request&, httplib::Response& response) {
        response.set_content("final body", "text/plain");
    });
    server->Get(R"(/moved/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        response.set_header("Location", "/final");
        response.set_content("moved", "text/plain");
    });
    server->Get("/absolute", [&server](const httplib::Request&, httplib::Response& response) {
        response.set_redirect(server.url("/final"));
    });
    server->Get("/not-modified", [](const httplib::Request&, httplib::Response& response) {
        response.status = 304;
        response.set_header("Location", "/elsewhere");
    });
    server->Get(R"(/chain/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        const int left = std::stoi(request.matches[1]);
        if (left == 0)
            response.set_content("end", "text/plain");
        else
            response.set_redirect("/chain/" + std::to_string(left - 1));
    });
    server->Get(R"(/status/(\d+))", [](const httplib::Request& request, httplib::Response& response) {
        response.status = std::stoi(request.matches[1]);
        response.set_content("status body", "text/plain");
    });
    server->Get("/set-cookie", [](const httplib::Request&, httplib::Response& response) {
        response.set_header("Set-Cookie", "session=abc; Path=/");
        response.set_redirect("/cookie");
    });
    server->Get("/cookie", [](const httplib::Request& request, httplib::Response& response) {
        response.set_content(request.has_header("Cookie") ? request.get_header_value("Cookie") : "<none>",
                             "text/plain");
    });
    server->Get("/binary", [](const httplib::Request&, httplib::Response& response) {
        response.set_content(binaryBody(), "application/octet-stream");
    });
    server->Get("/hold", [&server](const httplib::Request&, httplib::Response& response) {
        server.holdUntilReleased();
        response.set_content("late", "text/plain");
    });
    server->Get("/half", [&server](const httplib::Request&, httplib::Response& response) {
        response.set_content_provider(2000, "application/octet-stream",
                                      [&server](size_t offset, size_t, httplib::DataSink& sink) {
                                          if (offset > 0) {
                                              server.holdUntilReleased();
                                              return false;
                                          }
                                          return sink.write(std::string(1000, 'h').data(), 1000);
                                      });
    });
    server->Get("/wait-for-progress", [&server](const httplib::Request&, httplib::Response& response) {
        response.set_content(server.holdUntilReleased() ? "prompt" : "late", "text/plain");
    });
    server.start();
}

struct Fixture : ::testing::Test {
    Fixture() { addRoutes(server); }
    HttpResponse get(const std::string& path, HttpOptions options = {})
    {
        return HttpClient(std::move(options)).get(server.url(path));
    }
    LoopbackServer server;
};

using HttpClientTest = Fixture;

} // namespace

TEST_F(HttpClientTest, sendsTheChosenRequestHeaders)
{
    const HttpResponse defaults = get("/headers");
    ASSERT_TRUE(defaults.ok()) << defaults.status.message();
    EXPECT_EQ(defaults.body, "Accept=text/html, */*\nAccept-Language=<none>\nAccept-Encoding=<none>\n"
                             "Connection=<none>\nContent-Type=text/html\nCookie=<none>\n"
                             "Host=127.0.0.1:" + std::to_string(server.port()) +
                             "\nUser-Agent=<none>\n");

    HttpOptions chosen;
    chosen.accept = "*/*";
    chosen.acceptLanguage = "zh-cn";
    chosen.connection = "Keep-Alive";
    chosen.userAgent = "Mozilla/4.0 (compatible; MSIE 6.0)";
    chosen.host = "suggest.example.test";
    chosen.contentType.clear();
    chosen.extraHeaderLines = {"Cookie: ID=5F3A:FG=1; BDLFONT=0"};
    const HttpResponse sent = get("/headers", chosen);
    EXPECT_EQ(sent.body, "Accept=*/*\nAccept-Language=zh-cn\nAccept-Encoding=<none>\n"
                         "Connection=Keep-Alive\nContent-Type=<none>\nCookie=ID=5F3A:FG=1; BDLFONT=0\n"
                         "Host=suggest.example.test\nUser-Agent=Mozilla/4.0 (compatible; MSIE 6.0)\n");
}

TEST_F(HttpClientTest, followsRedirectsOnlyWhenAskedAndAtMostFifteen)
{
    struct Case {
        const char* path;
        bool follow;
        bool ok;
        int status;
        const char* location;
        const char* body;
    };
    const Case cases[] = {
        {"/moved/301", true, true, 200, "", "final body"},
        {"/moved/302", true, true, 200, "", "final body"},
        {"/moved/303", true, true, 200, "", "final body"},
        {"/moved/307", true, true, 200, "", "final body"},
        {"/moved/308", true, true, 200, "", "final body"},
        {"/absolute", true, true, 200, "", "final body"},
        {"/moved/302", false, true, 302, "/final", "moved"},
        // A 304 is handed back with its Location, even when redirects are followed.
        {"/not-modified", true, true, 304, "/elsewhere", ""},
        {"/chain/15", true, true, 200, "", "end"},
        {"/chain/16", true, false, 302, "/chain/0", ""},
    };
    for (const Case& c : cases) {
        HttpOptions options;
        options.followRedirects = c.follow;
        const HttpResponse response = get(c.path, options);
        EXPECT_EQ(response.ok(), c.ok) << c.path << " " << response.status.message();
        EXPECT_EQ(response.statusCode, c.status) << c.path;
        EXPECT_EQ(response.location, c.location) << c.path;
        EXPECT_EQ(response.body, c.body) << c.path;
    }
}

TEST_F(HttpClientTest, errorStatusesFailWithTheStatusLine)
{
    const std::tuple<const char*, int, const char*> cases[] = {
        {"/status/200", 200, ""},
        {"/status/204", 204, ""},
        {"/status/404", 404, "HTTP/1.1 404 Not Found"},
        {"/status/500", 500, "HTTP/1.1 500 Internal Server Error"},
    };
    for (const auto& [path, status, message] : cases) {
        const HttpResponse response = get(path);
        EXPECT_EQ(response.statusCode, status) << path;
        EXPECT_EQ(response.status.message(), message) << path;
    }
}

TEST_F(HttpClientTest, keepsCookiesWithinOneClientOnly)
{
    HttpOptions options;
    options.followRedirects = true;
    EXPECT_EQ(get("/set-cookie", options).body, "session=abc");
    EXPECT_EQ(get("/cookie", options).body, "<none>");
}

TEST_F(HttpClientTest, deliversBinaryBodiesAndProgress)
{
    std::vector<std::pair<std::int64_t, std::int64_t>> reports;
    HttpOptions options;
    options.progress = [&](std::int64_t maximum, std::int64_t position) {
        reports.emplace_back(maximum, position);
    };
    const HttpResponse response = get("/binary", options);
    ASSERT_TRUE(response.ok()) << response.status.message();
    const auto size = static_cast<std::int64_t>(binaryBody().size());
    EXPECT_TRUE(response.body == binaryBody());

    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back(), std::make_pair(size, size));
    EXPECT_NE(std::find(reports.begin(), reports.end(), std::make_pair(size, std::int64_t{0})), reports.end())
        << "no report at the start of the body";
    for (size_t i = 1; i < reports.size(); ++i)
        EXPECT_LE(reports[i - 1].second, reports[i].second);
}

TEST_F(HttpClientTest, reportsProgressWhileWaitingAndStopsOnRequest)
{
    // The server answers only once a progress report has arrived during its wait.
    HttpOptions options;
    options.progress = [this](std::int64_t, std::int64_t) { server.release(); };
    EXPECT_EQ(get("/wait-for-progress", options).body, "prompt");

    // Without a time-out only the stop flag ends a connection attempt that hangs.
    quill::test::StalledListener stalled;
    std::atomic<bool> stop{false};
    HttpOptions stoppable;
    stoppable.stop = &stop;
    stoppable.progress = [&stop](std::int64_t, std::int64_t) { stop = true; };
    const std::string url = "http://127.0.0.1:" + std::to_string(stalled.port()) + "/";
    EXPECT_EQ(HttpClient(stoppable).get(url).status.message(), "Request stopped");
}

TEST_F(HttpClientTest, failsOnRefusalAndTimesOutConnectingAndWaitingForData)
{
    quill::test::StalledListener stalled;
    const std::tuple<std::string, int, const char*> cases[] = {
        {"http://127.0.0.1:" + std::to_string(quill::test::refusingPort()) + "/", 0, nullptr},
        {"http://127.0.0.1:" + std::to_string(stalled.port()) + "/", 0, nullptr},
        {server.url("/hold"), 0, "Read timed out"},
        {server.url("/half"), 200, "Read timed out"},
    };
    for (const auto& [url, status, message] : cases) {
        HttpOptions options;
        options.timeout = 500ms;
        const HttpResponse response = HttpClient(options).get(url);
        EXPECT_FALSE(response.ok() || response.status.message().empty()) << url;
        EXPECT_EQ(response.statusCode, status) << url;
        if (message) {
            EXPECT_EQ(response.status.message(), message) << url;
        }
    }
}

TEST_F(HttpClientTest, getToFileReplacesTheFileOnlyOnSuccess)
{
    TempFolder folder;
    const std::string path = folder.write("update.zip", "old");
    const std::string failures[] = {
        server.url("/status/404"),
        server.url("/half"),
        "http://127.0.0.1:" + std::to_string(quill::test::refusingPort()) + "/",
    };
    for (const std::string& url : failures) {
        HttpOptions options;
        options.timeout = 500ms;
        EXPECT_FALSE(HttpClient(options).getToFile(url, path).ok()) << url;
        EXPECT_EQ(readFile(path), "old") << url;
    }
    const HttpResponse response = HttpClient().getToFile(server.url("/binary"), path);
    ASSERT_TRUE(response.ok()) << response.status.message();
    EXPECT_TRUE(response.body.empty());
    EXPECT_TRUE(readFile(path) == binaryBody());

    const std::string intoFolder = folder.file("sub");
    std::filesystem::create_directory(intoFolder);
    EXPECT_EQ(HttpClient().getToFile(server.url("/binary"), intoFolder).status.message(),
              "Unable to write to " + intoFolder);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.path()),
                            std::filesystem::directory_iterator()),
              2) << "a temporary file was left";
}
