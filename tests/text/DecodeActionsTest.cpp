#include "text/DecodeActions.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(DecodeActions, withCrLfJoinsEditBoxLinesTheWindowsWay)
{
    EXPECT_EQ(withCrLf(""), "");
    EXPECT_EQ(withCrLf("a%41\n\nb\n"), "a%41\r\n\r\nb\r\n");
    EXPECT_EQ(withCrLf(gbk("你\n好")), gbk("你\r\n好"));
}

TEST(DecodeActions, urlToChineseAppendsUpToADecodedNul)
{
    EXPECT_EQ(urlToChinese("%C4%E3+%BA%C3").value(), gbk("你 好"));
    EXPECT_EQ(urlToChinese("%E4%BD%A0").value(), "\xE4\xBD\xA0");
    EXPECT_EQ(urlToChinese("ab%00cd%41").value(), "ab");
    EXPECT_EQ(urlToChinese("").value(), "");
    EXPECT_EQ(urlToChinese("a\r\nb").value(), "a\r\nb");
    EXPECT_EQ(urlToChinese("%00%G1").status().message(), "Invalid URL encoded character (%G1) at position 4");
}

TEST(DecodeActions, utf8ToGbDecodesThenConverts)
{
    EXPECT_EQ(utf8ToGb("%E4%BD%A0+a").value(), gbk("你 a"));
    EXPECT_EQ(utf8ToGb("%C4%E3").value(), "?");
    EXPECT_EQ(utf8ToGb("ab%00cd").value(), "ab");
    EXPECT_EQ(utf8ToGb("%E4%BD%A").status().message(),
              "Error decoding URL style (%XX) encoded string at position 7");
}

TEST(DecodeActions, distinctPhrasesKeepsFirstOccurrences)
{
    struct Case {
        std::string input;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"a b a", {"a", "b"}},
        {gbk("你好，世界，你好"), {gbk("你好"), gbk("世界")}},
        // lines are compared exactly and with case
        {"A a A", {"A", "a"}},
        // empty lines count as lines, so only the first stays
        {"a\r\n\r\nb a \r\nc", {"a", "", "b", "c"}},
        // CR, LF and CR LF each end a line
        {"x\ry\nz\r\nx", {"x", "y", "z"}},
        // also right after a lead byte, which CR and LF can never complete
        {"\xB0\nab ab", {"\xB0", "ab"}},
        {"a\xB0\rb a\xB0\rb", {"a\xB0", "b"}},
        {"\x81\r\nx \xFE\r\nx", {"\x81", "x", "\xFE"}},
        {"", {}},
        {"!!", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(distinctPhrases(c.input), c.expected) << c.input;
}

TEST(DecodeActions, handlesTenMegabytesOfInput)
{
    std::string escapes;
    std::string phrases;
    while (escapes.size() < (10u << 20)) {
        escapes += "%E4%BD%A0";
        phrases += "a,b a\r\n";
    }
    EXPECT_EQ(utf8ToGb(escapes).value().size(), escapes.size() / 9 * 2);
    EXPECT_EQ(distinctPhrases(phrases), (std::vector<std::string>{"a", "b"}));
}
