#include "text/HtmlText.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"
#include "text/UrlCoding.h"

#include <gtest/gtest.h>

#include <random>

using namespace quill;

namespace {

constexpr size_t npos = std::string_view::npos;

struct Case {
    std::string input, expected;
};

// htmlToText step by step as defined: every loop searches again from the start of the text.
std::string literalHtmlToText(std::string text)
{
    std::string title;
    if (const size_t open = findExact(text, "<title"); open != npos) {
        const size_t start = open + 6;
        const size_t end = findExact(text, "</title>");
        std::string raw = end != npos && end > start ? text.substr(start, end - start) : "";
        if (const size_t gt = findExact(raw, ">"); gt != npos)
            raw.erase(0, gt + 1);
        title = gbk("标题: ") + raw;
        if (end != npos && end > open)
            text.erase(open, end + 8 - open);
    }
    text = replaceAllIgnoreCase(text, "<", " <");
    for (auto [open, close] : {std::pair<std::string_view, std::string_view>{"<style", "</style>"},
                               {"<script", "</script>"},
                               {"<", ">"}}) {
        for (size_t at = findExact(text, open); at != npos; at = findExact(text, open)) {
            const size_t end = findExact(text, close, at + 1);
            if (end == npos)
                break;
            text.erase(at, end + close.size() - at);
        }
    }
    for (auto [from, to] : {std::pair{"\n", ""}, {"\r", ""}, {"\t", " "}, {"&nbsp", " "}, {"&gt;", " "},
                            {";", " "}})
        text = replaceAllIgnoreCase(text, from, to);
    while (findExact(text, "  ") != npos)
        text = replaceAllIgnoreCase(text, "  ", " ");
    return title + "\r\n" + std::string(trim(text));
}

// splitPhrases as defined: one replacement per separator, in order.
std::string literalSplitPhrases(std::string text)
{
    static const std::vector<std::string> separators = [] {
        std::vector<std::string> gbkSeparators;
        for (const char* s :
             {"!", "|", "：", "“", "”", ">", "/", "?", "！", "+", ",", "、", "—", "。", "（", "）", "，", ":", "_"})
            gbkSeparators.push_back(gbk(s));
        return gbkSeparators;
    }();
    for (const std::string& separator : separators)
        text = replaceAllIgnoreCase(text, separator, " ");
    while (findExact(text, "  ") != npos)
        text = replaceAllIgnoreCase(text, "  ", " ");
    return std::string(trim(replaceAllIgnoreCase(text, " ", "\r\n")));
}

// Random texts glued from pieces that matter to the rules, including a lone lead byte that shifts
// the character boundaries of what follows.
std::vector<std::string> randomTexts(const std::vector<std::string>& pieces, int count)
{
    std::mt19937 random(20240601);
    std::vector<std::string> texts;
    for (int i = 0; i < count; ++i) {
        std::string text;
        for (int n = std::uniform_int_distribution<int>(0, 14)(random); n > 0; --n)
            text += pieces[std::uniform_int_distribution<size_t>(0, pieces.size() - 1)(random)];
        texts.push_back(text);
    }
    return texts;
}

} // namespace

TEST(htmlToText, reducesPagesToTitleLineAndText)
{
    const Case cases[] = {
        {"<html><head><title>Home</title></head><body><p>Hello&nbsp;world</p></body></html>",
         gbk("标题: Home\r\nHello world")},
        {"<title lang=\"en\" id=t>Home</title>x", gbk("标题: Home\r\nx")},
        {gbk("<title>首页</title><p>你好，世界</p>"), gbk("标题: 首页\r\n你好，世界")},
        // the title is taken unchanged: entities stay and line breaks inside it remain
        {"<title>A &amp;\r\nB</title>", gbk("标题: A &amp;\r\nB\r\n")},
        // no title: the result begins with CR LF
        {"", "\r\n"},
        {"<p>x</p>", "\r\nx"},
        // tag names are case-sensitive: upper-case title, style and script are ordinary tags
        {"<TITLE>Home</TITLE>x", "\r\nHome x"},
        {"<STYLE>p{}</STYLE><SCRIPT>var a;</SCRIPT>t", "\r\np{} var a t"},
        {"x<style>.a{}</style>y<script>if(a<b)c();</script>z", "\r\nx y z"},
        {"<script>a<script>b</script>c</script>d", "\r\nc d"},
        // every entity but "&nbsp" and "&gt;" keeps its name and loses its semicolon
        {"a&amp;b 1&GT;0 x&NBSPy", "\r\na&amp b 1 0 x y"},
        // line breaks are removed, not spaced: words on two lines join (deliberate)
        {"Hello\r\nworld\tand\n\n  more", "\r\nHelloworld and more"},
        {"a&nb\r\nsp;b", "\r\na b"},
        // a "<" in running text removes everything up to the next ">"
        {"if a<b then c>d end", "\r\nif a d end"},
        {"a<!-- b <p>c", "\r\na c"},
        {" \x01<p>\xA1\xA1x\xA1\xA1</p>\x7F ", "\r\n\xA1\xA1x\xA1\xA1 \x7F"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(htmlToText(c.input), c.expected) << c.input;
}

TEST(htmlToText, endsOnUnclosedOrMisplacedMarkup)
{
    const Case cases[] = {
        // a "<" with no ">" after it ends tag removal, and the rest stays as text
        {"a<b>c<d e", "\r\na c <d e"},
        {"a<!-- b c", "\r\na <!-- b c"},
        {"<<<", "\r\n< < <"},
        // a style or script block with no closing tag after it ends that removal
        {"a<style>b<p>c", "\r\na b c"},
        {"a<script>b</style>c", "\r\na b c"},
        // a closing tag before the first opening one is passed over; the block is still removed
        {"</style>a<style>b</style>c", "\r\na c"},
        // a "<title" with no "</title>" after it: an empty title and nothing deleted
        {"<title>Home<p>x", gbk("标题: \r\nHome x")},
        {"</title><title>T</title>rest", gbk("标题: \r\nT rest")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(htmlToText(c.input), c.expected) << c.input;
}

TEST(htmlToText, agreesWithTheStepByStepDefinition)
{
    const std::vector<std::string> pieces = {
        "<title", "<title>", "</title>", "<", ">", "<style>", "</style>", "<script", "</script>", "<STYLE>",
        " ", "  ", "\r", "\n", "\t", "&nbsp", "&NBSP;", "&gt;", "&nb", "sp", ";", "a", "Bc", gbk("你"), "\xB0",
    };
    for (const std::string& text : randomTexts(pieces, 20000))
        ASSERT_EQ(htmlToText(text), literalHtmlToText(text)) << urlEncode(text);
}

TEST(htmlToText, everyPrefixOfAPageAgreesWithTheDefinition)
{
    const std::string page = gbk("<html><head><title id=\"t\">新闻 &amp; 动态</title>\r\n<style type=\"text/css\">"
                                 "p{color:red}</style><script>if (a<b) go();</script></head>\r\n<body>\t<p>今天&nbsp;"
                                 "天气&gt;很好；</p><!-- note --><br/>a<b>c</b></body></html>");
    for (size_t length = 0; length <= page.size(); ++length)
        ASSERT_EQ(htmlToText(page.substr(0, length)), literalHtmlToText(page.substr(0, length))) << length;
}

TEST(htmlToText, handlesTenMegabytesOfHostileMarkup)
{
    const size_t size = 10u << 20;
    // a flood of "<" without ">": each gains its space and all of them stay
    const std::string lessThan(size, '<');
    const std::string flood = htmlToText(lessThan);
    EXPECT_EQ(flood.size(), 2 + 2 * size - 1);
    EXPECT_EQ(flood.substr(0, 6), "\r\n< < ");

    // unclosed script and style blocks, nested openings, and a long tail of tags and entities
    std::string page = "<script><style><script>";
    std::string expected = "\r\n";
    while (page.size() < size) {
        page += "<p class=x>a&nbsp;b</p><style>\r\n";
        expected += "a b ";
    }
    expected.pop_back();
    EXPECT_EQ(htmlToText(page), expected);
}

TEST(splitPhrases, splitsAtSpacesAndTheSeparatorsOnly)
{
    const Case cases[] = {
        {gbk("a,b，c"), "a\r\nb\r\nc"},
        {gbk("1!2|3：4“5”6>7/8?9！10+11,12、13—14。15（16）17，18:19_20"),
         "1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8\r\n9\r\n10\r\n"
         "11\r\n12\r\n13\r\n14\r\n15\r\n16\r\n17\r\n18\r\n19\r\n20"},
        // no separator: the text itself, trimmed
        {"abc", "abc"},
        {" \t abc \r\n", "abc"},
        {gbk("a.b;c-d\"e'f\tg？h；i"), gbk("a.b;c-d\"e'f\tg？h；i")},
        {"", ""},
        {"!!, ,", ""},
        // runs of separators and spaces make one line break
        {"a , b", "a\r\nb"},
        // line breaks already there stay, so a space beside one gives an empty line
        {"a \r\nb", "a\r\n\r\nb"},
        // a separator byte that is the second byte of a double-byte character is no separator
        {"\x81\x7C|x\x81\x5F_y", "\x81\x7C\r\nx\x81\x5F\r\ny"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(splitPhrases(c.input), c.expected) << c.input;
}

TEST(splitPhrases, agreesWithOneReplacementPerSeparator)
{
    const std::vector<std::string> pieces = {
        "!", "|", gbk("："), gbk("“"), ">", "/", "?", gbk("！"), "+", ",", gbk("、"), gbk("—"), gbk("。"),
        gbk("（"), gbk("，"), ":", "_", " ", "  ", "\r\n", "\t", "a", "B", gbk("你"), "\xB0", "\xA3", ".",
    };
    for (const std::string& text : randomTexts(pieces, 20000))
        ASSERT_EQ(splitPhrases(text), literalSplitPhrases(text)) << urlEncode(text);
}

TEST(textBetween, cutsBetweenTheFirstMarkers)
{
    struct Between {
        std::string text, start, end, expected;
    };
    const Between cases[] = {
        {"xSyE", "S", "E", "y"},
        {gbk("<td>来自：北京市</td>"), gbk("来自："), "</td>", gbk("北京市")},
        {"aSbEcSdE", "S", "E", "b"},
        // the end marker is searched from the start of the text, not after the start marker
        {"aEbScEd", "S", "E", ""},
        {"abc", "ab", "bc", ""},
        {"SE", "S", "E", ""},
        // a missing or empty marker gives nothing
        {"xSyE", "Q", "E", ""},
        {"xSyE", "S", "Q", ""},
        {"xSyE", "", "E", ""},
        {"xSyE", "S", "", ""},
        // markers are case-sensitive and start on whole characters
        {"xsyE", "S", "E", ""},
        {"\xB0SxSyE", "S", "E", "y"},
    };
    for (const Between& c : cases)
        EXPECT_EQ(textBetween(c.text, c.start, c.end), c.expected) << c.text << " / " << c.start;
}
