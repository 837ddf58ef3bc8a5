#include "html/TTagParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quill;

namespace {

// The tokens of `text` as the element list scans them: "B" + text for a block that found its end
// marker, "b" + text for one cut short by "<", ">" for a stray close, "U" for an unterminated one.
std::vector<std::string> tokens(std::string_view text)
{
    TTagParser parser(text);
    parser.addMarkerPair("</", ">");
    parser.addMarkerPair("<", ">");
    parser.setQuoteHandling(true);
    parser.Reset();
    std::vector<std::string> out;
    for (TokenKind kind = parser.NextToken(); kind != TokenKind::End; kind = parser.NextToken()) {
        if (kind == TokenKind::StrayClose)
            out.push_back(">");
        else if (kind == TokenKind::Unterminated)
            out.push_back("U");
        else
            out.push_back((parser.EndFound() ? "B" : "b") + std::string(parser.TokenText()));
    }
    return out;
}

using Tokens = std::vector<std::string>;

} // namespace

TEST(TTagParser, cutsTextIntoTokens)
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
    };
    for (const Case& c : cases)
        EXPECT_EQ(tokens(c.text), c.expected) << c.text;
}

TEST(TTagParser, reportsOneBasedPositions)
{
    TTagParser parser("\t <a>x\n</a <b>");
    parser.addMarkerPair("</", ">");
    parser.addMarkerPair("<", ">");
    parser.Reset();
    ASSERT_EQ(parser.NextToken(), TokenKind::Block);
    EXPECT_EQ(parser.TokenPos(), 3u);
    EXPECT_EQ(parser.TokenEndPos(), 5u);
    EXPECT_EQ(parser.StartMarker(), "<");
    ASSERT_EQ(parser.NextToken(), TokenKind::Block);
    EXPECT_EQ(parser.StartMarker(), "</");
    EXPECT_FALSE(parser.EndFound());
    EXPECT_EQ(parser.TokenText(), "</a ");
    EXPECT_EQ(parser.TokenPos(), 8u);
    EXPECT_EQ(parser.TokenEndPos(), 11u);
    ASSERT_EQ(parser.NextToken(), TokenKind::Block);
    EXPECT_EQ(parser.TokenPos(), 12u);
    EXPECT_EQ(parser.NextToken(), TokenKind::End);
}

// Deliberate: an unterminated block restarts the scan one byte after where the scan began, so it
// comes back once for every byte in front of it before its own bytes are taken as text.
TEST(TTagParser, restartsUnterminatedBlockOneByteOn)
{
    EXPECT_EQ(tokens("xy<a '"), (Tokens{"U", "U", "U"}));
    EXPECT_EQ(tokens("<script>a<b>"), (Tokens{"U", ">", "B<b>"}));
}

TEST(TTagParser, rawBlockStartTag)
{
    EXPECT_EQ(RawBlockStartTag("<script type='a>b'>x</script"), "<script type='a>");
    EXPECT_EQ(RawBlockStartTag("<script a=\x81>x>y</script"), "<script a=\x81>x>");
    EXPECT_EQ(RawBlockStartTag("<script </script"), "<script </script");
}

TEST(TTagParser, everyPrefixScansSafely)
{
    const std::string text = "<a href='x' title=\"y\">t</a><!-- it's --><script>s='</script>';</script>"
                             "<pre>\x81<</pre ><b x=\xE0'>z";
    for (std::size_t length = 0; length <= text.size(); ++length) {
        std::string prefix = text.substr(0, length);
        TTagParser parser(prefix);
        parser.addMarkerPair("</", ">");
        parser.addMarkerPair("<", ">");
        parser.setQuoteHandling(true);
        parser.Reset();
        int count = 0;
        for (TokenKind kind = parser.NextToken(); kind != TokenKind::End; kind = parser.NextToken()) {
            ASSERT_LT(++count, 1000) << length;
            if (kind == TokenKind::Block) {
                EXPECT_GE(parser.TokenPos(), 1u);
                EXPECT_LE(parser.TokenEndPos(), length);
                EXPECT_EQ(parser.TokenText(), prefix.substr(parser.TokenPos() - 1, parser.TokenEndPos() - parser.TokenPos() + 1));
            }
        }
    }
}
