// quillmarkbox-cli web, run as a whole process against loopback servers.

#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/ScopedEnv.h"
#include "support/LoopbackServer.h"
#include "support/RawTcpServer.h"
#include "support/RunProcess.h"
#include "support/StreamServer.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::LoopbackServer;
using quill::test::ProcessResult;
using quill::test::StreamServer;

using quill::test::ScopedEnv;

namespace {

ProcessResult web(std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "web");
    return test::runCli(arguments);
}

std::string hostOf(int port) { return "127.0.0.1:" + std::to_string(port); }

const std::string kUtf8Page = "<html><head><title>兴安盟</title><meta name=\"keywords\" content=\"草原\"></head>"
                              "<body><a href=\"/News.htm\">新闻\t中心</a></body></html>";

class WebCommand : public testing::Test {
protected:
    void SetUp() override
    {
        server->Get("/utf8", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(kUtf8Page, "text/html; charset=utf-8");
        });
        server->Get("/gone", [](const httplib::Request&, httplib::Response& response) { response.status = 404; });
        // Compressed though nobody asked for it.
        server->Get("/gzip", [this](const httplib::Request& request, httplib::Response& response) {
            askedEncoding = request.get_header_value("Accept-Encoding");
            response.set_header("Content-Encoding", "gzip");
            response.set_content(test::gzipBytes(kUtf8Page), "text/html; charset=utf-8");
        });
        server->Get("/nul", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(std::string("<p>a\0b</p>", 11), "text/html");
        });
        server->Get("/anchors", [](const httplib::Request&, httplib::Response& response) {
            std::string anchors;
            anchors.reserve(std::size_t(32) << 20);
            while (anchors.size() < (std::size_t(32) << 20) - 3)
                anchors += "<a>";
            response.set_content(anchors, "text/html");
        });
        server->Get("/baidu", [](const httplib::Request& request, httplib::Response& response) {
            if (request.has_param("tn"))
                response.set_content(gbk("找到相关网页约1,230篇，用时0.1秒"), "text/html");
            else
                response.set_content(gbk("<table><tr><td>相关搜索</td><td><a>草原 旅游</a></td></tr></table><form name=\"f2\""),
                                     "text/html");
        });
        server->Get("/su", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("s:[\"a\",\"b\"]", "text/plain");
        });
        server->Get("/ips.asp", [](const httplib::Request&, httplib::Response& response) {
            response.set_content(gbk("<td class=\"ul1\"><li>本站主数据：内蒙古</li><li>参考数据一：兴安盟</li></ul></td>"),
                                 "text/html");
        });
        server.start();
    }

    LoopbackServer server;
    std::string host = hostOf(server.port());
    std::string askedEncoding = "(no request)";
    ScopedEnv baidu{"QUILLMARK_BAIDU_HOST", host};
    ScopedEnv suggestion{"QUILLMARK_SUGGESTION_HOST", host};
    ScopedEnv ip{"QUILLMARK_IPLOCATION_HOST", host};
    ScopedEnv quick{"QUILLMARK_WEB_TIMEOUTS_MS", "300,300,900"};
};

} // namespace

TEST_F(WebCommand, printsWhatThePageAppendsAndTheStatusOnStderr)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"head", host + "/utf8"}, "网页标题:   兴安盟\n网页关键词:     草原\n", "HEAD 分析: 完成\n"},
        {{"links", host + "/utf8"}, "新闻\\t中心: /news.htm\n", "所有链接: 完成\n"},
        {{"text", host + "/utf8"}, "", "纯文本: 完成\n"},
        {{"suggest", "兴安盟"}, "a\\r\\nb\n", "相关词补充: 完成\n"},
        {{"related", "兴安盟"}, "草原\\r\\n旅游\n", "相关搜索: 完成\n"},
        {{"ip", "1.2.3.4"}, "来源：内蒙古  |参考一：兴安盟\n", "查看IP: 完成\n"},
        {{"index", "--no-google", "http://example.test"}, "", "批量查询: 完成\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = web(c.arguments);
        EXPECT_EQ(run.exitCode, 0) << c.arguments[0];
        if (!c.out.empty()) {
            EXPECT_EQ(run.out, c.out) << c.arguments[0];
        }
        EXPECT_EQ(run.err, c.err) << c.arguments[0];
    }
    const ProcessResult index = web({"index", "--no-google", "example.test"});
    EXPECT_NE(index.out.find("\n百度 收录:约1,230个页面\n百度 最近1天收录:约1,230个页面\n"), std::string::npos) << index.out;
    EXPECT_TRUE(index.out.starts_with(std::string(71, '-') + "\n查询时间："));
}

TEST_F(WebCommand, rawOutputIsGbkAndTextIsOneEscapedLine)
{
    const ProcessResult run = web({"head", "--raw", host + "/utf8"});
    EXPECT_EQ(run.out, gbk("网页标题:   兴安盟\n网页关键词:     草原\n"));
    const ProcessResult text = web({"text", host + "/utf8"});
    EXPECT_EQ(text.out.find('\n'), text.out.size() - 1); // one value, one line
    EXPECT_NE(text.out.find("新闻"), std::string::npos);
}

TEST_F(WebCommand, failuresThePageLeavesSilentExitOne)
{
    StreamServer silent(StreamServer::Mode::Silent);
    const std::string silentHost = hostOf(silent.port());
    struct Case {
        std::vector<std::string> arguments;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"head", host + "/gone"}, "", "HEAD 分析: HTTP 404\n"},
        {{"links", silentHost + "/"}, "", "所有链接: 连接超时\n"},
        {{"text", silentHost + "/"}, "", "纯文本: 连接超时\n"},
        {{"text", hostOf(test::refusingPort()) + "/"}, "", "纯文本: 连接失败\n"},
        {{"raw-head", silentHost + "/"}, "域名: 127.0.0.1\nURL: /\n端口: " + std::to_string(silent.port()) + "\n失败\n",
         "页面头: 连接超时\n"},
    };
    for (const Case& c : cases) {
        const ProcessResult run = web(c.arguments);
        EXPECT_EQ(run.exitCode, 1) << c.arguments[0] << " " << c.arguments[1];
        EXPECT_EQ(run.out, c.out) << c.arguments[0];
        EXPECT_EQ(run.err, c.err) << c.arguments[0];
    }
    ScopedEnv silentBaidu("QUILLMARK_BAIDU_HOST", silentHost);
    const ProcessResult index = web({"index", "--no-google", "example.test"});
    EXPECT_EQ(index.exitCode, 1);
    EXPECT_NE(index.out.find("\n百度 收录:个页面\n"), std::string::npos);
    EXPECT_EQ(index.err, "批量查询: 4/4 个查询失败（连接超时）\n");
}

TEST_F(WebCommand, pagesAreReadAsTheTextTheyHold)
{
    // A body compressed unasked is decompressed; the request still asks for no encoding.
    const ProcessResult gzip = web({"text", host + "/gzip"});
    EXPECT_EQ(gzip.exitCode, 0);
    EXPECT_NE(gzip.out.find("新闻"), std::string::npos) << gzip.out;
    EXPECT_EQ(askedEncoding, "");
    EXPECT_EQ(web({"head", host + "/gzip"}).out, "网页标题:   兴安盟\n网页关键词:     草原\n");

    // A NUL byte of the page is printed escaped, as the other control bytes are.
    for (const char* raw : {"", "--raw"}) {
        std::vector<std::string> arguments = {"text", host + "/nul"};
        if (*raw)
            arguments.push_back(raw);
        const ProcessResult nul = web(arguments);
        EXPECT_EQ(nul.out.find('\0'), std::string::npos) << raw;
        EXPECT_NE(nul.out.find("a\\0b"), std::string::npos) << raw << nul.out;
    }

    // 32 MiB of links: the parse is refused with a message, not run out of memory.
    ScopedEnv patient("QUILLMARK_WEB_TIMEOUTS_MS", "10000,10000,60000");
    for (const char* tool : {"links", "head"}) {
        const ProcessResult anchors = web({tool, host + "/anchors"});
        EXPECT_EQ(anchors.exitCode, 1) << tool;
        EXPECT_EQ(anchors.out, "") << tool;
        EXPECT_NE(anchors.err.find(": 页面元素超过 500000 个，不作分析\n"), std::string::npos) << anchors.err;
    }
}

TEST_F(WebCommand, rawHeadShowsTheReplyAsItCame)
{
    test::RawTcpServer raw({"HTTP/1.1 200 OK\r\nServer: t\r\n\r\n"}, true);
    const ProcessResult run = web({"raw-head", "http://" + hostOf(raw.port()) + "/a?b=1"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "域名: 127.0.0.1\nURL: /a?b=1\n端口: " + std::to_string(raw.port()) +
                           "\nHTTP/1.1 200 OK\\r\\nServer: t\\r\\n\\r\\n\n");
    EXPECT_EQ(run.err, "页面头: 完成\n");
    EXPECT_TRUE(raw.received().starts_with("HEAD /a?b=1 HTTP/1.1\r\nHost: 127.0.0.1\r\n"));

    const ProcessResult refused = web({"raw-head", hostOf(test::refusingPort()) + "/"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "Asynchronous socket error 10061\n页面头: 连接失败\n");
    const ProcessResult badPort = web({"raw-head", "example.test:/"});
    EXPECT_EQ(badPort.exitCode, 1);
    EXPECT_EQ(badPort.err, "'' is not a valid integer value\n");

    // A server that closes without a byte gave no answer: no 完成.
    test::RawTcpServer closing({}, true);
    const ProcessResult closed = web({"raw-head", hostOf(closing.port()) + "/"});
    EXPECT_EQ(closed.exitCode, 1);
    EXPECT_EQ(closed.out, "域名: 127.0.0.1\nURL: /\n端口: " + std::to_string(closing.port()) + "\n失败\n");
    EXPECT_EQ(closed.err, "页面头: 没有回应\n");
}

TEST_F(WebCommand, usageErrorsExitTwo)
{
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{}, {"nothing", "x"}, {"head"}, {"head", "a", "b"}, {"index"}, {"index", "a", "b"},
          {"ip", "--no-such"}}) {
        const ProcessResult run = web(arguments);
        EXPECT_EQ(run.exitCode, 2) << (arguments.empty() ? "" : arguments[0]);
        EXPECT_TRUE(run.err.starts_with("usage: ")) << run.err;
    }
}
