#include "html/PageWalks.h"

#include "HtmlTestSupport.h"
#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::parseNow;

namespace {

using Lines = std::vector<std::string>;

Lines headerLines(std::string_view page) { return pageHeaderLines(*parseNow(page)); }
Lines linkLines(std::string_view page) { return pageLinkLines(*parseNow(page)); }

const std::string kTitle = gbk("网页标题:   ");
const std::string kDescription = gbk("网页描述:    ");
const std::string kKeywords = gbk("网页关键词:     ");

} // namespace

TEST(PageWalks, headerLines)
{
    struct Case {
        std::string page;
        Lines lines;
    };
    const Case cases[] = {
        // Title, description and keywords in document order; the meta name's case is ignored.
        {"<html><head><title>Home</title><meta name=Description content=\"A site\">"
         "<meta http-equiv=refresh content=5><meta content=x>"
         "<meta name=\"keywords\" content=\"a,b\"></head></html>",
         {kTitle + "Home", kDescription + "A site", kKeywords + "a,b"}},
        // The content stays as written; a later entry of a name wins.
        {"<head><meta NAME=keywords name=description Content='A,B' content=\"C, D\"></head>", {kDescription + "C, D"}},
        // Descendants come before the element itself.
        {"<div><title>t<meta name=keywords content=k></title></div>", {kKeywords + "k", kTitle + "t<meta name=keywords content=k>"}},
        // The title text is raw; an unclosed title gives the bare prefix.
        {"<head><title>A &amp; B\r\n</title></head>", {kTitle + "A &amp; B\r\n"}},
        {"<body><title>x</body>", {kTitle}},
        // Elements that are children of the root are never examined.
        {"<title>x</title><meta name=keywords content=k>", {}},
        {"", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(headerLines(c.page), c.lines) << c.page;
}

TEST(PageWalks, linkLines)
{
    struct Case {
        std::string page;
        Lines lines;
    };
    const Case cases[] = {
        // Address lowered, "&nbsp;" in any case made a blank, the text trimmed and otherwise raw.
        {"<body><a href=\"HTTP://Example.test/Path\">Home&nbsp;page</a></body>", {"Home page: http://example.test/path"}},
        {"<body><a href=x> <img src=i.gif>&NBSP;</a></body>", {"<img src=i.gif>: x"}},
        // Every href entry counts; entries with blanks around "=" are not href entries.
        {"<body><a href=a HREF=b>t</a><a href = \"c\">u</a></body>", {"t: a", "t: b"}},
        // Links inside a link are not looked at; an unclosed link has no text.
        {"<body><a href=o>x<a href=i>y</a></a></body>", {"x<a href=i>y</a>: o"}},
        {"<body><a href=x>t</body>", {": x"}},
        {"<ul><li><a href=1>one</a><li><a href=2>two</a></ul>", {"one: 1", "two: 2"}},
        {"<a href=top>t</a>", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(linkLines(c.page), c.lines) << c.page;
}

TEST(PageWalks, lowersOnlySingleByteLetters)
{
    // 0xB0 0x41 is one double-byte character whose second byte is the code of "A".
    EXPECT_EQ(linkLines("<p><a href=\"/\xB0\x41/X.htm\">\xB0\x41</a></p>"), Lines{"\xB0\x41: /\xB0\x41/x.htm"});
    EXPECT_EQ(headerLines("<div><meta name=\"\xB0\x41KEYWORDS\" content=c></div>"), Lines{});
    EXPECT_EQ(headerLines("<div><meta name=\"KEYWORDS\" content=c></div>"), Lines{kKeywords + "c"});
}
