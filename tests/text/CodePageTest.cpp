#include "platform/CodePage.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(CodePage, convertsBetweenGbkAndUtf8)
{
    EXPECT_EQ(gbk("百度"), "\xB0\xD9\xB6\xC8");
    EXPECT_EQ(gbkToUtf8("\xB0\xD9\xB6\xC8"), "百度");
    EXPECT_EQ(gbk("€"), "\x80"); // code page 936 as Windows defines it
    EXPECT_EQ(gbkToUtf8("\x80"), "€");
    // What GBK lacks, or malformed input, is replaced one unit at a time and the rest kept.
    EXPECT_EQ(utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
    EXPECT_EQ(utf8ToGbk("a\xE4\xBD" "b"), "a??b");
    EXPECT_EQ(utf8ToGbk("Á"), "?");
    EXPECT_EQ(gbkToUtf8("a\xFF" "b\xC4"), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");
}

TEST(CodePage, utf16ToGbkMarksEveryUnmappableUnit)
{
    EXPECT_EQ(utf16ToGbk(u"你a"), gbk("你a"));
    EXPECT_EQ(utf16ToGbk(u"\u00C1"), "?");
    EXPECT_EQ(utf16ToGbk(std::u16string(u"a\xD800" "b")), "a?b");
    EXPECT_EQ(utf16ToGbk(std::u16string(u"a\xDC00")), "a?");
    EXPECT_EQ(utf16ToGbk(std::u16string(u"\xD800")), "?");
}

TEST(CodePage, composesCombiningMarksWhereGbkHasTheCharacter)
{
    struct Case {
        std::u16string units;
        std::string expected;
    };
    const Case cases[] = {
        // pinyin with tone marks, including the two-mark ü forms
        {u"a\u0304", gbk("ā")},
        {u"e\u030C", gbk("ě")},
        {u"u\u0308\u0301", gbk("ǘ")},
        {u"\u00FC\u030C", gbk("ǚ")},
        {u"\u0435\u0308", gbk("ё")},
        {u"\u304B\u3099", gbk("が")},
        {u"=\u0338", gbk("≠")},
        // marks that cannot be composed into a GBK character are dropped
        {u"A\u0301", "A"},
        {u"\u0301x", "x"},
        {u"b\u0300\u036F", "b"},
        {u"\u4F60\u0304", gbk("你")},
        // a mark outside U+0300-U+036F that cannot be composed is an unmappable unit
        {u"x\u3099", "x?"},
        // precomposed characters GBK lacks are not approximated
        {u"\u00C1\u2022", "??"},
        // surrogates, paired or not, are one "?" per unit
        {std::u16string(u"\xD83D\xDE00"), "??"},
        {std::u16string(u"\xDC00" "a\u0301"), gbk("?á")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf16ToGbkComposed(c.units), c.expected) << gbkToUtf8(c.expected);
}
