#include "crawlers/CrawlerTable.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

namespace {

struct NamedLine {
    std::string line;
    std::string name; // UTF-8
};

} // namespace

TEST(CrawlerTable, identifiesTheFirstMatchingRowOfTheWholeLine)
{
    const std::string cuil = crawlerTable()[8].displayName;
    const NamedLine cases[] = {
        // no token
        {"", ""},
        {"- 2009-01-01 GET /index.html 200 Mozilla/4.0", ""},
        // letter case is ignored, in line and token
        {"- GET / 200 GOOGLEBOT/2.1", "Google"},
        {"- GET / 200 googlebot/2.1", "Google"},
        {"- GET / 200 Mozilla/5.0+(compatible;+Baiduspider/2.0)", "百度"},
        // the first row wins, wherever in the line its token stands
        {"- GET /Baiduspider.html 200 Googlebot/2.1", "Google"},
        {"- GET / 200 YoudaoBot/1.0", "有道"},
        {"- GET / 200 qihoobot msnbot/1.1", "奇虎"},
        // the whole line counts: path, query and referrer too
        {"- GET /a.html 200 Mozilla/4.0 http://search.YAHOO.com/?p=x", "雅虎"},
        {"- GET /q?from=sogou 200 Mozilla/4.0", "SogouBot"},
        // tokens with their punctuation
        {"- GET / 200 Sosospider+(+http://help.soso.com/webspider.htm)", "soso"},
        {"- GET / 200 Sosospider/1.0", ""},
        {"- GET / 200 Gigabot/3.0", "gigablast"},
        {"- GET / 200 Gigabot+3.0", ""},
        {"- GET / 200 YodaoBot-Image/1.0", "有道图片"},
        {"- GET / 200 AppEngine-Google;+(+http://code.google.com/appengine)", "GOOGLE代码浏览器"},
        {"- GET / 200 msnbot-media/1.1", "MSN"},
        // a match never starts on the second byte of a double-byte character
        {"- \x81Googlebot", ""},
        {"- \x81\x81Googlebot", "Google"},
        {"- \x81\x81\x81Googlebot", ""},
        {"- \xB0\xA1googlebot", "Google"},
        {"- \x81Googlebot Googlebot", "Google"},
        {"- \x81Googlebot Yahoo", "雅虎"},
    };
    for (const NamedLine& c : cases)
        EXPECT_EQ(crawlerNameOf(c.line), gbk(c.name)) << c.line;
    EXPECT_EQ(crawlerNameOf("- Twiceler-0.9"), cuil);
}

TEST(CrawlerTable, statisticsTryOnlyTheSevenCountedRows)
{
    const struct {
        std::string line;
        int row;
    } cases[] = {
        {"", 0},
        {"- GET / 200 Mozilla/4.0", 0},
        {"#Software: Googlebot", 1},
        {"- BAIDUSPIDER", 2},
        {"- Googlebot Baiduspider", 1},
        {"- ref http://www.sogou.com/", 4},
        {"- Sosospider+(+http://help)", 5},
        {"- Sosospider/1.0", 0},
        // rows without a column are skipped, not a stop
        {"- qihoobot msnbot/1.1", 10},
        {"- YodaoBot-Image/1.0", 0},
        {"- YodaoBot-Image YoudaoBot", 6},
        {"- AppEngine-Google", 0},
        {"- Gigabot/3.0 Twiceler SurveyBot", 0},
        {"- \x81Sogou", 0},
        {"- \x81\x81Sogou", 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(statisticsRowOf(c.line), c.row) << c.line;
}
