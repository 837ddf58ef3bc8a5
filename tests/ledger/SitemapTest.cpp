#include "ledger/Sitemap.h"

#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/LoopbackServer.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::string urlset(const std::vector<std::string>& urls)
{
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<urlset xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">\n";
    for (const std::string& url : urls)
        xml += "  <url><loc>" + url + "</loc><changefreq>daily</changefreq></url>\n";
    return xml + "</urlset>\n";
}

std::string sitemapIndex(const std::vector<std::string>& sitemaps)
{
    std::string xml = "<sitemapindex xmlns=\"http://www.sitemaps.org/schemas/sitemap/0.9\">";
    for (const std::string& sitemap : sitemaps)
        xml += "<sitemap><loc>" + sitemap + "</loc></sitemap>";
    return xml + "</sitemapindex>";
}

SitemapOptions quick()
{
    SitemapOptions options;
    options.limits.connect = options.limits.idle = std::chrono::milliseconds(500);
    options.limits.perFile = std::chrono::milliseconds(1500);
    return options;
}

// Every form a sitemap comes in reads to the same URLs.
TEST(Sitemap, readsEveryFormOfSitemap)
{
    TempFolder folder;
    const std::vector<std::string> urls = {"http://www.example.com/", "http://www.example.com/a.htm?x=1&amp;y=2"};
    const std::vector<std::string> expected = {"http://www.example.com/", "http://www.example.com/a.htm?x=1&y=2"};
    LoopbackServer server;
    server->Get("/part1.xml", [&](const httplib::Request&, httplib::Response& r) {
        r.set_content(urlset({urls[0]}), "application/xml");
    });
    server->Get("/part2.xml.gz", [&](const httplib::Request&, httplib::Response& r) {
        r.set_content(gzipBytes(urlset({urls[1], urls[0]})), "application/x-gzip");
    });
    server->Get("/index.xml", [&](const httplib::Request&, httplib::Response& r) {
        r.set_content(sitemapIndex({server.url("/part1.xml"), server.url("/part2.xml.gz")}), "application/xml");
    });
    server.start();

    const std::vector<std::string> places = {
        folder.write("sitemap.xml", urlset(urls)),
        folder.write("sitemap.xml.gz", gzipBytes(urlset(urls))),
        folder.write("list.txt", "\xEF\xBB\xBFhttp://www.example.com/\r\n\r\n  http://www.example.com/a.htm?x=1&y=2 \n"),
        folder.write("local-index.xml", sitemapIndex({"sitemap.xml"})),
        server.url("/index.xml"),
    };
    for (const std::string& where : places) {
        SCOPED_TRACE(where);
        Result<Sitemap> sitemap = loadSitemap(where, quick());
        ASSERT_TRUE(sitemap.ok()) << sitemap.status().message();
        EXPECT_EQ(sitemap.value().urls, expected);
        EXPECT_TRUE(sitemap.value().notes.empty());
    }
}

// Sitemaps that are broken, hostile or slow end with a message and never without bound.
TEST(Sitemap, badSitemapsFailWithAMessageWithinTheirBounds)
{
    TempFolder folder;
    LoopbackServer server;
    server->Get("/slow.xml", [&](const httplib::Request&, httplib::Response& r) {
        server.holdUntilReleased(std::chrono::seconds(5));
        r.set_content(urlset({"http://a/"}), "application/xml");
    });
    server->Get("/missing.xml", [](const httplib::Request&, httplib::Response& r) { r.status = 404; });
    server.start();

    SitemapOptions small = quick();
    small.limits.maxBytes = 1 << 20;
    const std::string bomb = gzipBytes(std::string(8 << 20, ' '));
    struct Case {
        std::string where;
        const char* says;
    } cases[] = {
        {folder.write("broken.xml", "<urlset><url><loc>http://a/</loc></url>"), "不是有效的 XML"},
        {folder.write("other.xml", "<html><body>hello</body></html>"), "不是网站地图"},
        {folder.write("bomb.xml.gz", bomb), "解压后超过 1 MB"},
        {folder.write("cut.xml.gz", gzipBytes(urlset({"http://a/"})).substr(0, 20)), "gzip"},
        {folder.write("huge.xml", std::string((1 << 20) + 1, ' ')), "超过 1 MB"},
        {folder.file("none.xml"), ""},
        {folder.path(), "不是普通文件"},
        {server.url("/missing.xml"), "404"},
        {server.url("/slow.xml"), "timed out"}, // its answer would take 5 s: the idle bound ends the wait
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.where);
        Result<Sitemap> sitemap = loadSitemap(c.where, small);
        ASSERT_FALSE(sitemap.ok());
        EXPECT_NE(gbkToUtf8(sitemap.status().message()).find(c.says), std::string::npos) << gbkToUtf8(sitemap.status().message());
    }
    server.release();
}

TEST(Sitemap, anIndexIsReadWithinItsLimitsAndItsFailuresNoted)
{
    TempFolder folder;
    std::vector<std::string> parts;
    for (int i = 0; i < 5; ++i) {
        std::vector<std::string> urls;
        for (int u = 0; u < 4; ++u)
            urls.push_back("http://s/" + std::to_string(i) + "/" + std::to_string(u));
        folder.write("part" + std::to_string(i) + ".xml", urlset(urls));
        parts.push_back("part" + std::to_string(i) + ".xml");
    }
    parts.insert(parts.begin() + 1, "gone.xml");
    parts.insert(parts.begin() + 2, "nested.xml");
    folder.write("nested.xml", sitemapIndex({"part0.xml"}));
    const std::string index = folder.write("index.xml", sitemapIndex(parts));

    SitemapOptions options = quick();
    options.limits.maxFiles = 4;
    Result<Sitemap> limited = loadSitemap(index, options);
    ASSERT_TRUE(limited.ok());
    EXPECT_EQ(limited.value().urls.size(), 8u); // part0 and part1; gone.xml and nested.xml noted
    EXPECT_EQ(limited.value().notes.size(), 3u);

    options.limits.maxFiles = 1000;
    options.limits.maxUrls = 10;
    Result<Sitemap> capped = loadSitemap(index, options);
    ASSERT_TRUE(capped.ok());
    EXPECT_EQ(capped.value().urls.size(), 10u);
    EXPECT_NE(gbkToUtf8(capped.value().notes.back()).find("只比较了前面这些"), std::string::npos);
}

TEST(Sitemap, comparesPathsAsTheWebServerDoes)
{
    struct Case {
        const char* url;
        const char* key;
    } cases[] = {
        {"http://www.example.com", "/"},
        {"https://www.example.com/News/A.htm?id=1#top", "/news/a.htm"},
        {"/%E6%96%B0.htm", "/\xE6\x96\xB0.htm"},
        {"/a%2", "/a%2"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(sitemapPathKey(c.url), c.key) << c.url;

    Sitemap sitemap;
    sitemap.urls = {"http://s/", "http://s/a.htm", "http://s/never.htm", "http://s/%E6%96%B0.htm"};
    UrlView crawled;
    auto row = [](const char* path, std::int64_t hits, std::int64_t ok) {
        UrlRow r;
        r.path = path;
        r.hits = hits;
        r.classHits[0] = ok;
        return r;
    };
    crawled.rows = {row("/", 3, 3), row("/A.HTM", 1, 0), row("/extra.htm", 2, 2), row("/gone.htm", 1, 0),
                    row("/\xE6\x96\xB0.htm", 1, 1)};
    const SitemapComparison comparison = compareSitemap(sitemap, crawled);
    EXPECT_EQ(comparison.uncrawled, std::vector<std::string>{"http://s/never.htm"});
    EXPECT_EQ(comparison.notInSitemap, std::vector<std::string>{"/extra.htm"}); // /gone.htm answered no 2xx
}

} // namespace
