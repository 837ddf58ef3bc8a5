#include "html/TagTokenizer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quill;

namespace {

// The tokens of `text` as the element list scans them: "B" + text for a block that found its end
// marker, "b" + text for one cut short by "<", ">" for a stray close, "U" for an unterminated one.
std::vector<std::string> tokens(std::string_view text)
{
    TagTokenizer parser(text);
    parser.addMarkerPair("</", ">");
    parser.addMarkerPair("<", ">");
    parser.setQuoteHandling(true);
    parser.reset();
    std::vector<std::string> out;
    for (TokenKind kind = parser.nextToken(); kind != TokenKind::End; kind = parser.nextToken()) {
        if (kind == TokenKind::StrayClose)
            out.push_back(">");
        else if (kind == TokenKind::Unterminated)
            out.push_back("U");
        else
            out.push_back((parser.endFound() ? "B" : "b") + std::string(parser.tokenText()));
    }
    return out;
}

using Tokens = std::vector<std::string>;

} // namespace

TEST(TagTokenizer, cutsTextIntoTokens)
{
    struct Case {
        std::string text;
        Tokens expected;
    };
    const Case cases[] = {
        // Plain tags, declarations and text between them.
        {"", {}},
        {"<a href=x>y</a>", {"B<a href=x>", "B</a>"}},
        {"<!DOCTYPE html><!-- c -->", {"B<!DOCTYPE html>", "B<!-- c -->"}},
        {"x > y", {">"}},
        {"< b><3", {"B< b>", "U"}},
        {std::string("<a>\0<b>", 7), {"B<a>"}},
        // Raw-text markers need a blank or ">" after them.
        {"<script>a</script >", {"B<script>a</script", ">"}},
        {"<SCRIPT type=x>y</ScRiPt>", {"B<SCRIPT type=x>y</ScRiPt", ">"}},
        {"<script\ntype=\"x\">s</script>", {"B<script\ntype=\"x\">", "B</script>"}},
        {"<scripts><prefix>", {"B<scripts>", "B<prefix>"}},
        {"<pre><a>b</a></pre>", {"B<pre><a>b</a></pre", ">"}},
        {"<xmp>x</xmpy>", {"B<xmp>x</xmp", ">"}},
        // Quotes, in every kind of block.
        {"<!-- a > b -->", {"B<!-- a >", ">"}},
        {"<!-- it's -->x'<b>", {"B<!-- it's -->x'<b>"}},
        {"<a title='it''s'>", {"B<a title='it''s'>"}},
        {"<a x='a'\"b\">", {"B<a x='a'\"b\">"}},
        {"<a x=\"a\"'b'>c'>", {"B<a x=\"a\"'b'>c'>"}},
        {"<a title=\"<b>\">", {"B<a title=\"<b>\">"}},
        {"<script>s = \"</script>\";</script>", {"B<script>s = \"</script>\";</script", ">"}},
        // A "<" cuts a tag short; an unclosed quote runs to the end.
        {"<a href=x <b>", {"b<a href=x ", "B<b>"}},
        {"</a <b>", {"b</a ", "B<b>"}},
        {"<a href='x>", {"U", ">"}},
        // Two-byte characters hide the byte after their lead, inside blocks only.
        {"<a\x81>b>", {"B<a\x81>b>"}},
        {"<a\x81><b>", {"b<a\x81>", "B<b>"}},
        {"<a title=\xE0\"x>", {"B<a title=\xE0\"x>"}},
        {"\x81<a>", {"B<a>"}},
        {"<a \x81", {"U"}},
        // 0xB0 leads a GBK character but is a single byte to the scan: the '>' after it ends the tag.
        {"<a title=\xB0>b>", {"B<a title=\xB0>", ">"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(tokens(c.text), c.expected) << c.text;
}

TEST(TagTokenizer, reportsOneBasedPositions)
{
    TagTokenizer parser("\t <a>x\n</a <b>");
    parser.addMarkerPair("</", ">");
    parser.addMarkerPair("<", ">");
    parser.reset();
    ASSERT_EQ(parser.nextToken(), TokenKind::Block);
    EXPECT_EQ(parser.tokenPos(), 3u);
    EXPECT_EQ(parser.tokenEndPos(), 5u);
    EXPECT_EQ(parser.startMarker(), "<");
    ASSERT_EQ(parser.nextToken(), TokenKind::Block);
    EXPECT_EQ(parser.startMarker(), "</");
    EXPECT_FALSE(parser.endFound());
    EXPECT_EQ(parser.tokenText(), "</a ");
    EXPECT_EQ(parser.tokenPos(), 8u);
    EXPECT_EQ(parser.tokenEndPos(), 11u);
    ASSERT_EQ(parser.nextToken(), TokenKind::Block);
    EXPECT_EQ(parser.tokenPos(), 12u);
    EXPECT_EQ(parser.nextToken(), TokenKind::End);
}

// Deliberate: an unterminated block restarts the scan one byte after where the scan began, so it
// comes back once for every byte in front of it before its own bytes are taken as text.
TEST(TagTokenizer, restartsUnterminatedBlockOneByteOn)
{
    EXPECT_EQ(tokens("xy<a '"), (Tokens{"U", "U", "U"}));
    EXPECT_EQ(tokens("<script>a<b>"), (Tokens{"U", ">", "B<b>"}));
}

TEST(TagTokenizer, rawBlockStartTag)
{
    EXPECT_EQ(rawBlockStartTag("<script type='a>b'>x</script"), "<script type='a>");
    EXPECT_EQ(rawBlockStartTag("<script a=\x81>x>y</script"), "<script a=\x81>x>");
    EXPECT_EQ(rawBlockStartTag("<script </script"), "<script </script");
}

TEST(TagTokenizer, everyPrefixScansSafely)
{
    const std::string text = "<a href='x' title=\"y\">t</a><!-- it's --><script>s='</script>';</script>"
                             "<pre>\x81<</pre ><b x=\xE0'>z";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        std::string prefix = text.substr(0, length);
        TagTokenizer parser(prefix);
        parser.addMarkerPair("</", ">");
        parser.addMarkerPair("<", ">");
        parser.setQuoteHandling(true);
        parser.reset();
        int count = 0;
        for (TokenKind kind = parser.nextToken(); kind != TokenKind::End; kind = parser.nextToken()) {
            ASSERT_LT(++count, 1000) << length;
            if (kind == TokenKind::Block) {
                EXPECT_GE(parser.tokenPos(), 1u);
                EXPECT_LE(parser.tokenEndPos(), length);
                EXPECT_EQ(parser.tokenText(), prefix.substr(parser.tokenPos() - 1, parser.tokenEndPos() - parser.tokenPos() + 1));
            }
        }
    }
}
