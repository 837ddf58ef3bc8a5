#include "text/UrlCoding.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(urlDecode, decodesEscapesAndKeepsEveryOtherByte)
{
    struct Case {
        std::string input, expected;
    };
    const Case cases[] = {
        {"", ""},
        {"plain text/path?x=1&y=2", "plain text/path?x=1&y=2"},
        {"a+b", "a b"},
        {"%2B", "+"},
        {"%41%6a%6A", "Ajj"},
        {"%C4%E3", gbk("你")},
        {"%E4%BD%A0", "\xE4\xBD\xA0"},
        {"line1\r\nline2\n", "line1\r\nline2\n"},
        {gbk("你好+"), gbk("你好 ")},
        {"%00x", std::string("\0x", 2)},
        {"%FF", "\xFF"},
        // "%%" is one percent sign, and the escape after it is not decoded (deliberate)
        {"%%41", "%41"},
        {"%%", "%"},
        {"100%%", "100%"},
        {"%%%41", "%A"},
    };
    for (const Case& c : cases) {
        Result<std::string> decoded = urlDecode(c.input);
        ASSERT_TRUE(decoded) << c.input << ": " << decoded.status().message();
        EXPECT_EQ(decoded.value(), c.expected) << c.input;
    }
}

TEST(urlDecode, reportsTheFirstBadEscapeWithItsPosition)
{
    struct Case {
        std::string input, message;
    };
    const Case cases[] = {
        // cut short by the end of the text
        {"%", "Error decoding URL style (%XX) encoded string at position 1"},
        {"abc%4", "Error decoding URL style (%XX) encoded string at position 4"},
        {"%41%", "Error decoding URL style (%XX) encoded string at position 4"},
        {"%G", "Error decoding URL style (%XX) encoded string at position 1"},
        // not two hex digits
        {"%G1", "Invalid URL encoded character (%G1) at position 1"},
        {"ab%4g%zz", "Invalid URL encoded character (%4g) at position 3"},
        {"% 41", "Invalid URL encoded character (% 4) at position 1"},
        {"%+41", "Invalid URL encoded character (%+4) at position 1"},
        {"x%\r\n", "Invalid URL encoded character (%\r\n) at position 2"},
        {"%" + gbk("你"), "Invalid URL encoded character (%" + gbk("你") + ") at position 1"},
        // a NUL byte is quoted like any other and ends nothing
        {std::string("%\0A", 3), std::string("Invalid URL encoded character (%\0A) at position 1", 49)},
        {std::string("x%\0", 3), "Error decoding URL style (%XX) encoded string at position 2"},
    };
    for (const Case& c : cases) {
        Result<std::string> decoded = urlDecode(c.input);
        ASSERT_FALSE(decoded) << c.input;
        EXPECT_EQ(decoded.status().message(), c.message) << c.input;
    }
}

TEST(urlEncode, escapesEveryByte)
{
    EXPECT_EQ(urlEncode(""), "");
    EXPECT_EQ(urlEncode(gbk("百度")), "%B0%D9%B6%C8");
    EXPECT_EQ(urlEncode("a b\t~"), "%61%20%62%09%7E");
    EXPECT_EQ(urlEncode(std::string("\0\xFF", 2)), "%00%FF");
    const std::string everyByte = [] {
        std::string s;
        for (int b = 0; b < 256; ++b)
            s += static_cast<char>(b);
        return s;
    }();
    EXPECT_EQ(urlDecode(urlEncode(everyByte)).value(), everyByte);
}

TEST(utf8ToCodePage, decodesWithoutValidation)
{
    struct Case {
        std::string bytes, expected;
    };
    const Case cases[] = {
        {"", ""},
        {"abc\r\n", "abc\r\n"},
        {"\xE4\xBD\xA0\xE5\xA5\xBD", gbk("你好")},
        {"\xC3\xBC", gbk("ü")},
        {"a\xCC\x84", gbk("ā")},
        {"\xE2\x82\xAC", "\x80"},
        // GBK bytes are no UTF-8: C4 E3 reads as U+0123, which GBK lacks
        {"\xC4\xE3", "?"},
        // continuation bytes are not checked: E4 41 41 still gives one unit, U+4041
        {"\xE4" "AAb", utf16ToGbk(u"\u4041") + "b"},
        // over-long forms are accepted
        {"\xC1\x81", "A"},
        {"\xE0\x81\x81", "A"},
        // a stray continuation byte starts a three-byte form
        {"\x80\x81\x81", "A"},
        // bytes missing at the end read as 0: C3 alone is U+00C0, which GBK lacks
        {"x\xC3", "x?"},
        {"\xE4\xBD", utf16ToGbk(u"\u4F40")},
        // a four-byte form gives one unit from its first three bytes (deliberate), and its fourth
        // byte begins the next unit, here swallowing "AB" into U+0042
        {"\xF0\x9F\x98\x80" "ABz", utf16ToGbk(u"\u07D8") + "Bz"},
        // three-byte surrogates: lone or paired, each unit becomes "?"
        {"\xED\xA0\x80", "?"},
        {"\xED\xA0\xBD\xED\xB8\x80", "??"},
        // the text ends at the first U+0000, over-long or not
        {std::string("ab\0cd", 5), "ab"},
        {"ab\xC0\x80" "cd", "ab"},
        {"\xC0", ""},
        {"\x80\x80\x80" "abc", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8ToCodePage(c.bytes), c.expected) << urlEncode(c.bytes);
}
