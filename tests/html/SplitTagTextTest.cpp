#include "html/SplitTagText.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(SplitTagText, namesAndAttributeEntries)
{
    struct Case {
        std::string tag;
        std::string name;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        // Quotes are dropped; blanks inside them stay.
        {"<a href=\"x y\" class=z>", "a", {"href=x y", "class=z"}},
        {"<meta name=keywords content=\"a, b\">", "meta", {"name=keywords", "content=a, b"}},
        {"<a title=\"it's\">", "a", {"title=it's"}},
        {"<a title='it''s'>", "a", {"title=its"}},
        // Blanks after "=" are skipped, blanks before it end the entry.
        {"<a href=\n \"x\">", "a", {"href=x"}},
        {"a href = \"x\"", "a", {"href", "=x"}},
        // CR and TAB cut entries; LF is dropped and the entry goes on.
        {"<a\r\nhref=x>", "a", {"href=x"}},
        {"<img src=a.gif\nalt=b\tw=1>", "img", {"src=a.gifalt=b", "w=1"}},
        // Declarations, end tags, self-closing spellings.
        {"<!-- note -->", "!--", {"note", "--"}},
        {"<!DOCTYPE html>", "!", {"DOCTYPE", "html"}},
        {"</b c>", "b c", {}},
        {"<br />", "br", {"/"}},
        {"<br/>", "br/", {}},
        // Degenerate tags.
        {"<  >", "", {}},
        {"<\"\tb\" c>", "", {"c"}},
        {"", "", {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> entries{"old"};
        EXPECT_EQ(splitTagText(c.tag, &entries), c.name) << c.tag;
        EXPECT_EQ(entries, c.entries) << c.tag;
    }
}

TEST(SplitTagText, tagNameOfStopsAtTheFirstBlankOnly)
{
    struct Case {
        std::string tag;
        std::string name;
    };
    const Case cases[] = {
        {"<a href=x>", "a"},
        {"<a\r\nhref=x>", "a\r\nhref=x"},
        {"<br/>", "br/"},
        {"< b>", " b"},
        {"<>", ">"},
        {"<!-- note -->", "!--"},
        {"<!--x-->", "!--"},
        {"<!-->", "!"},
        {"<!DOCTYPE html>", "!"},
        {"<!>", "!"},
        {"</b c>", "b c"},
        {"  </ p >  ", "p"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tagNameOf(c.tag), c.name) << c.tag;
}

// Deliberate: element names fold a-z byte by byte, even the second byte of a double-byte character.
TEST(SplitTagText, elementNamesFoldEveryLetterByte)
{
    EXPECT_EQ(elementNameOf("<dIv class=x>"), "DIV");
    EXPECT_EQ(elementNameOf("</Td >"), "TD");
    EXPECT_EQ(elementNameOf("<x\x81z>"), "X\x81Z");
    EXPECT_EQ(elementNameOf("< b>"), "B");
    EXPECT_EQ(elementNameOf("<a\r\nhref=x>"), "A\r\nHREF=X");
}
