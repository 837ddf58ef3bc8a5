#include "platform/GbkText.h"

#include "platform/CodePage.h"

#include <gtest/gtest.h>

#include <iterator>

using namespace quill;

namespace {

constexpr size_t npos = std::string_view::npos;

// "\xB0\x61" is one double-byte character whose second byte is the letter a; it must never
// match an "a" or "A" searched for on its own.
const std::string kTrailA = "\xB0\x61";

} // namespace

TEST(GbkText, walksCharactersFromTheStart)
{
    const std::string text = "a" + kTrailA + "\xC4";
    EXPECT_EQ(gbkCharLength(text, 0), 1u);
    EXPECT_EQ(gbkCharLength(text, 1), 2u);
    EXPECT_EQ(gbkCharLength(text, 3), 1u); // a lead byte at the end stands alone
    const bool boundaries[] = {true, true, false, true, true, false, false, false, false, false};
    for (size_t pos = 0; pos < std::size(boundaries); ++pos)
        EXPECT_EQ(isCharBoundary(text, pos), boundaries[pos]) << pos;
}

TEST(GbkText, upperAsciiFoldsOnlySingleByteLetters)
{
    EXPECT_EQ(upperAscii("abc" + kTrailA + "z"), "ABC" + kTrailA + "Z");
    EXPECT_EQ(upperAscii(gbk("ａ你b")), gbk("ａ你B"));
}

TEST(GbkText, findsOnCharacterBoundaries)
{
    struct Case {
        std::string hay, needle;
        size_t from, ignoreCase, exact;
    };
    const Case cases[] = {
        // plain and caseless hits
        {"xxABCabc", "abc", 0, 2, 5},
        {"xxABCabc", "abc", 3, 5, 5},
        {"abc", "", 0, npos, npos},
        {"ab", "abc", 0, npos, npos},
        // a trail byte never starts a match
        {kTrailA, "a", 0, npos, npos},
        {kTrailA + "A", "a", 0, 2, npos},
        {kTrailA + "a", "a", 0, 2, 2},
        {"\xB0\x7C|", "|", 0, 2, 2},
        // double-byte needles compare their trail bytes exactly
        {"\xB0\x41" + kTrailA, kTrailA, 0, 2, 2},
        {gbk("你好你"), gbk("你"), 2, 4, 4},
        // after a lone lead byte's partner is consumed, boundaries shift
        {"\xC4" "ab", "ab", 0, npos, npos},
        {"\xC4" "xab", "ab", 0, 2, 2},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findIgnoreCase(c.hay, c.needle, c.from), c.ignoreCase) << c.hay << " / " << c.needle;
        EXPECT_EQ(findExact(c.hay, c.needle, c.from), c.exact) << c.hay << " / " << c.needle;
    }
    EXPECT_TRUE(containsIgnoreCase("Hello", "LL"));
    EXPECT_FALSE(containsIgnoreCase(kTrailA, "A"));
}

TEST(GbkText, replacesLeftToRightWithoutRescanning)
{
    struct Case {
        std::string text, from, to, expected;
    };
    const Case cases[] = {
        {"aXbxc", "x", "-", "a-b-c"},
        {"aaaa", "aa", "a", "aa"},          // the replacement is not searched again
        {"xx", "x", "xx", "xxxx"},
        {"&NbSp;&nbsp", "&nbsp", " ", " ; "},
        {kTrailA + "a", "a", "", kTrailA}, // the trail byte survives
        {"abc", "", "z", "abc"},
        {"", "a", "b", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(replaceAllIgnoreCase(c.text, c.from, c.to), c.expected) << c.text;
}

TEST(GbkText, trimDropsControlBytesAndSpacesAtBothEnds)
{
    EXPECT_EQ(trim(" \t\r\n\x01 a b \x7F"), "a b \x7F");
    EXPECT_EQ(trim(std::string_view("\0a\0", 3)), "a");
    EXPECT_EQ(trim(" \r\n "), "");
    EXPECT_EQ(trim(gbk(" 你 ")), gbk("你"));
}
