#include "logs/RecordsJsonLines.h"

#include "logs/LogTestSupport.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

// The JSON lines of every row of `log`, loaded with every filter box at rest but images.
std::vector<std::string> jsonRows(const std::string& log)
{
    TempFolder folder;
    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    EXPECT_TRUE(loadBytes(analysis, folder, log, filters).read());
    std::string out;
    appendJsonLines(analysis.store(), 0, analysis.store().count(), {}, out);
    std::vector<std::string> rows;
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1)
        rows.push_back(out.substr(start, end - start));
    EXPECT_TRUE(isValidUtf8(out));
    return rows;
}

} // namespace

TEST(RecordsJsonLines, mapsEachFieldToItsSchemaName)
{
    const std::string googlebot = "Mozilla/5.0+(compatible;+Googlebot/2.1)";
    const struct {
        std::string log;
        std::string json;
    } cases[] = {
        // every field of an IIS 6 line; the crawler table names the row, the registry its key and group
        {std::string(kIis6Header) + "2026-12-01 08:09:10 W3SVC7 10.0.0.1 GET /a.htm q=1 80 alice 1.2.3.4 " +
             googlebot + " 200 0 64 1500 300 15 http://r.test/\r\n",
         R"j({"@timestamp":"2026-12-01T08:09:10Z","source.address":"1.2.3.4","http.request.method":"GET",)j"
         R"j("url.path":"/a.htm","url.query":"q=1","http.response.status_code":200,"iis.sub_status":0,)j"
         R"j("iis.win32_status":64,"http.response.bytes":1500,"http.request.bytes":300,"event.duration":15000000,)j"
         R"j("destination.address":"10.0.0.1","destination.port":80,"user.name":"alice",)j"
         R"j("user_agent.original":"Mozilla/5.0+(compatible;+Googlebot/2.1)","http.request.referrer":"http://r.test/",)j"
         R"j("iis.site_name":"W3SVC7","quillmarkbox.crawler.key":"Googlebot","quillmarkbox.crawler.name":"Google",)j"
         R"j("quillmarkbox.crawler.group":"search"})j"},
        // "-" and empty fields are left out; a crawler only the registry knows
        {std::string(kIis6Header) + "2026-12-01 00:00:01 - - GET /b.htm - - - 5.6.7.8 GPTBot/1.2 404 - - - - - -\r\n",
         R"j({"@timestamp":"2026-12-01T00:00:01Z","source.address":"5.6.7.8","http.request.method":"GET",)j"
         R"j("url.path":"/b.htm","http.response.status_code":404,"user_agent.original":"GPTBot/1.2",)j"
         R"j("quillmarkbox.crawler.key":"GPTBot","quillmarkbox.crawler.name":"GPTBot",)j"
         R"j("quillmarkbox.crawler.group":"ai-training"})j"},
        // numbers as JSON has them (no leading zeros); a damaged count or an overflowing time is
        // left out, as is a damaged date
        {std::string(kIis6Header) + "2026-12-1 00:00:01 - - GET /c.htm - 0080 - 1.2.3.4 UA 2x0 007 - 18446744073709551616 "
                                    "1 9223372036855 -\r\n",
         R"j({"source.address":"1.2.3.4","http.request.method":"GET","url.path":"/c.htm","iis.sub_status":7,)j"
         R"j("http.request.bytes":1,"destination.port":80,"user_agent.original":"UA"})j"},
        // the fields a later header names: the Host header without its port, the protocol's version
        {"#Software: Microsoft Internet Information Services 8.5\r\n"
         "#Fields: date time cs-method cs-uri-stem cs-host cs-version s-computername c-ip sc-status time-taken "
         "cs(User-Agent) s-port\r\n"
         "2026-12-03 23:59:59 POST /d.aspx www.example.com:8080 HTTP/1.1 WEB01 ::1 500 0 UA 443\r\n",
         R"j({"@timestamp":"2026-12-03T23:59:59Z","source.address":"::1","http.request.method":"POST",)j"
         R"j("url.path":"/d.aspx","http.response.status_code":500,"event.duration":0,"destination.port":443,)j"
         R"j("user_agent.original":"UA","http.version":"1.1","url.domain":"www.example.com","host.name":"WEB01"})j"},
        // a Log Parser export: the date and time tokens, its user and computer names, no user agent
        {"#Software: Microsoft Log Parser\r\n"
         "#Fields: LogFilename RecordNumber ComputerName SiteID DateTime ClientIpAddress ServerIpAddress ServerPort "
         "Method ProtocolVersion ProtocolStatus SubStatus TimeTaken BytesSent BytesReceived Win32Status UriStem "
         "UriQuery UserName\r\n"
         "ex.log 7 WEB02 1 2026-12-04 01:02:03 9.8.7.6 10.0.0.2 80 GET HTTP/1.0 301 0 2 100 200 0 /e.htm a=b bob\r\n",
         R"j({"@timestamp":"2026-12-04T01:02:03Z","source.address":"9.8.7.6","http.request.method":"GET",)j"
         R"j("url.path":"/e.htm","url.query":"a=b","http.response.status_code":301,"iis.sub_status":0,)j"
         R"j("iis.win32_status":0,"http.response.bytes":100,"http.request.bytes":200,"event.duration":2000000,)j"
         R"j("destination.address":"10.0.0.2","destination.port":80,"user.name":"bob","http.version":"1.0",)j"
         R"j("host.name":"WEB02"})j"},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> rows = jsonRows(c.log);
        ASSERT_EQ(rows.size(), 1u) << c.log;
        EXPECT_EQ(rows[0], c.json);
    }
}

TEST(RecordsJsonLines, writesGbkAsUtf8AndHostileBytesEscaped)
{
    std::string log = kIis6Header;
    log += iisLine({.stem = "/" + gbk("日志") + ".htm", .agent = gbk("百度") + "\"\\\x01\xB0"});
    log += iisLine({.stem = std::string("/nul\0x", 6), .agent = "\xFF"});
    log += iisLine({.stem = "/ascii.htm", .agent = "a\x01\x1F\x7F"}); // control bytes in a line that is otherwise plain ASCII
    const std::vector<std::string> rows = jsonRows(log);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_NE(rows[0].find(R"j("url.path":"/日志.htm")j"), std::string::npos) << rows[0];
    EXPECT_NE(rows[0].find(R"j("user_agent.original":"百度\"\\\u0001)j" "\xEF\xBF\xBD\""), std::string::npos) << rows[0];
    EXPECT_NE(rows[1].find(R"j("url.path":"/nul\u0000x")j"), std::string::npos) << rows[1];
    EXPECT_NE(rows[1].find("\"user_agent.original\":\"\xEF\xBF\xBD\""), std::string::npos) << rows[1];
    EXPECT_NE(rows[2].find(std::string(R"j("user_agent.original":"a\u0001\u001f)j") + "\x7F\""), std::string::npos) << rows[2];
}

TEST(RecordsJsonLines, followsTheDisplayOrderAndGivesEachRecordItsVerdict)
{
    std::string log = kIis6Header;
    log += iisLine({.stem = "/b.htm", .agent = "Baiduspider"});
    log += iisLine({.stem = "/a.htm", .agent = "UA"});
    log += iisLine({.stem = "/c.htm", .agent = "UA"});
    TempFolder folder;
    LogAnalysis analysis;
    ASSERT_TRUE(loadBytes(analysis, folder, log).read());
    ASSERT_TRUE(analysis.clickColumn(kColUriStem).ok());
    const std::string verified = gbk("已验证");
    const std::vector<std::string_view> verdicts = {verified, "", ""};
    const RecordStore& store = analysis.store();
    for (std::uint32_t row = 0; row < store.count(); ++row) {
        std::string json;
        appendJsonLines(store, row, row + 1, verdicts, json);
        EXPECT_NE(json.find("\"url.path\":\"" + cellText(store, row, kColUriStem) + "\""), std::string::npos) << json;
        if (store.recordAt(row) == 0)
            EXPECT_TRUE(json.ends_with(R"j("quillmarkbox.crawler.name":"百度","quillmarkbox.crawler.group":"search",)j"
                                       R"j("quillmarkbox.crawler.verdict":"已验证"})j" "\n"))
                << json;
        else
            EXPECT_EQ(json.find("verdict"), std::string::npos) << json;
    }
}
