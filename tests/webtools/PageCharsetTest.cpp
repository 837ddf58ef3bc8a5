#include "webtools/PageCharset.h"

#include "html/HtmlTestSupport.h"
#include "html/PageWalks.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <iconv.h>

using namespace quill;

namespace {

// `utf8` in another charset, as a server would send it (every character must exist there).
std::string encoded(std::string_view utf8, const char* charset)
{
    iconv_t cd = iconv_open(charset, "UTF-8");
    std::string out(utf8.size() * 4 + 8, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* dst = out.data();
    size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &in, &inLeft, &dst, &outLeft), static_cast<size_t>(-1)) << charset;
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

const std::string kPageUtf8 = "<html><head><title>兴安盟旅游</title>"
                              "<meta name=\"description\" content=\"草原风光\">"
                              "<meta name=\"keywords\" content=\"兴安盟,阿尔山\"></head>"
                              "<body><a href=\"/a.htm\">新闻中心</a><a href=\"/b.htm\">联系我们</a></body></html>";

// The same page in traditional characters, which Big5 holds.
const std::string kTraditionalUtf8 = "<html><head><title>興安盟旅遊</title>"
                                     "<meta name=\"description\" content=\"草原風光\">"
                                     "<meta name=\"keywords\" content=\"興安盟,阿爾山\"></head>"
                                     "<body><a href=\"/a.htm\">新聞中心</a><a href=\"/b.htm\">聯繫我們</a></body></html>";

std::vector<std::string> walked(const std::string& gbkPage)
{
    const auto page = test::parseNow(gbkPage);
    std::vector<std::string> lines = pageHeaderLines(*page);
    for (std::string& line : pageLinkLines(*page))
        lines.push_back(std::move(line));
    return lines;
}

} // namespace

TEST(PageCharset, findsTheDeclarationWhereverThePageMakesIt)
{
    struct Case {
        std::string contentType;
        std::string body;
        const char* charset;
    };
    const Case cases[] = {
        {"text/html; charset=UTF-8", "<html>", "utf-8"},
        {"text/html;charset=\"Big5\"", "", "big5"},
        {"text/html", "<meta charset=gb2312><title>", "gb2312"},
        {"", "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=GBK\">", "gbk"},
        {"", "<meta charset = 'utf-8' >", "utf-8"},
        // A byte-order mark is surer than any header; the header beats a meta element.
        {"text/html; charset=gbk", "\xEF\xBB\xBF<p>", "utf-8"},
        {"text/html; charset=utf-8", std::string("\xFF\xFE<\0", 4), "utf-16le"},
        {"", "\xFE\xFF", "utf-16be"},
        {"text/html; charset=big5", "<meta charset=utf-8>", "big5"},
        // Only the first 4 KB are searched, and only inside meta elements.
        {"", std::string(4096, ' ') + "<meta charset=utf-8>", ""},
        {"", "<p>charset=utf-8</p>", ""},
        {"", "<meta name=x>", ""},
        // A declaration readable as ASCII cannot be UTF-16.
        {"", "<meta charset=utf-16>", "utf-8"},
        {"text/plain", "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(declaredCharset(c.contentType, c.body), c.charset) << c.contentType << " | " << c.body;
}

TEST(PageCharset, convertsEveryCharsetToTheGbkOfTheSameText)
{
    const std::string gbkText = gbk(kPageUtf8);
    struct Case {
        const char* name;
        std::string contentType;
        std::string body;
    };
    const Case cases[] = {
        {"utf-8 header", "text/html; charset=utf-8", kPageUtf8},
        {"utf-8 meta", "", "<meta charset=utf-8>" + kPageUtf8},
        {"utf-8 bom", "", "\xEF\xBB\xBF" + kPageUtf8},
        {"gb2312", "text/html; charset=gb2312", encoded(kPageUtf8, "GB2312")},
        {"gbk", "", "<meta charset=gbk>" + encoded(kPageUtf8, "GBK")},
        {"gb18030", "text/html; charset=GB18030", encoded(kPageUtf8, "GB18030")},
        {"utf-16le bom", "", encoded("\xEF\xBB\xBF" + kPageUtf8, "UTF-16LE")},
        {"utf-16be bom", "text/html", encoded("\xEF\xBB\xBF" + kPageUtf8, "UTF-16BE")},
        {"none declared", "", gbkText},
    };
    for (const Case& c : cases) {
        std::string expected = gbkText;
        if (c.body.starts_with("<meta"))
            expected = gbk("<meta charset=") + (c.name[2] == 'f' ? "utf-8>" : "gbk>") + gbkText;
        EXPECT_EQ(pageToGbk(c.contentType, c.body), expected) << c.name;
    }
    EXPECT_EQ(pageToGbk("text/html; charset=big5", encoded(kTraditionalUtf8, "BIG5")), gbk(kTraditionalUtf8));
}

TEST(PageCharset, walksOfConvertedPagesMatchTheGbkPage)
{
    const std::vector<std::string> expected = walked(gbk(kPageUtf8));
    ASSERT_EQ(expected.size(), 5u);
    EXPECT_EQ(expected[0], gbk("网页标题:   兴安盟旅游"));
    for (const char* charset : {"UTF-8", "GB2312", "GB18030"}) {
        const std::string body = encoded(kPageUtf8, charset);
        EXPECT_EQ(walked(pageToGbk(std::string("text/html; charset=") + charset, body)), expected) << charset;
    }
    const std::vector<std::string> traditional = walked(gbk(kTraditionalUtf8));
    ASSERT_EQ(traditional.size(), 5u);
    EXPECT_EQ(walked(pageToGbk("", "<meta charset=big5>" + encoded(kTraditionalUtf8, "BIG5"))), traditional);
}

TEST(PageCharset, utf8TitleOfOddLengthKeepsItsEnd)
{
    // "中" is three bytes: read as GBK, its last byte would swallow the "<" of "</title>".
    const std::string page = "<html><head><title>\xE4\xB8\xAD</title></head><body><a href=\"/x\">x</a></body></html>";
    const std::vector<std::string> lines = walked(pageToGbk("text/html; charset=utf-8", page));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], gbk("网页标题:   中"));
    EXPECT_EQ(lines.back(), "x: /x");
}

TEST(PageCharset, whatGbkLacksBecomesAQuestionMarkAndUnknownCharsetsKeepTheirBytes)
{
    EXPECT_EQ(pageToGbk("text/html; charset=utf-8", "a\xF0\x9F\x98\x80" "b\xE2\x82\xAC"), "a?b\x80");
    EXPECT_EQ(pageToGbk("text/html; charset=utf-8", "bad \xFF byte"), "bad ? byte");
    EXPECT_EQ(pageToGbk("text/html; charset=no-such-charset", "\xD6\xD0"), "\xD6\xD0");
    EXPECT_EQ(pageToGbk("", std::string("\xFF\xFE\x2D\x4E\x00\xD8", 6)), gbk("中?")); // a lone surrogate
    EXPECT_EQ(pageToGbk("", ""), "");
}
