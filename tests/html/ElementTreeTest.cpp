#include "HtmlTestSupport.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::parseNow;
using quill::test::shape;

TEST(ElementTree, shapesPagesByTheNestingRules)
{
    struct Case {
        std::string page;
        std::string tree;
    };
    const Case cases[] = {
        // Optional end tags closed by the next sibling, the parent's end or the document's end.
        {"<ul><li>a<li>b</ul>", "UL[<li>a<li>b](LI[a] LI[b]) @DOCUMENT"},
        {"<ul><li>a<ul><li>b</ul><li>c</ul>",
         "UL[<li>a<ul><li>b</ul><li>c](LI[a<ul><li>b</ul>](UL[<li>b](LI[b])) LI[c]) @DOCUMENT"},
        {"<table><tr><td>1<td>2</table>", "TABLE[<tr><td>1<td>2](TR[<td>1<td>2](TD[1] TD[2])) @DOCUMENT"},
        {"<select><option>a<option>b</select>", "SELECT[<option>a<option>b](OPTION[a] OPTION[b]) @DOCUMENT"},
        {"<dl><dt>t<dd>d</dl>", "DL[<dt>t<dd>d](DT[t] DD[d]) @DOCUMENT"},
        // The content rule: P holds inline elements only.
        {"<body><p>one<div>x</div></body>", "BODY[<p>one<div>x</div>](P[one] DIV[x]) @DOCUMENT"},
        {"<body><p>a<textarea>t</textarea></body>",
         "BODY[<p>a<textarea>t</textarea>](P[a<textarea>t</textarea>](TEXTAREA[t])) @DOCUMENT"},
        // Without an enclosing element, unclosed elements are leaves.
        {"<p>one<p>two", "P P @DOCUMENT"},
        {"<html><body><p>x", "HTML BODY P @DOCUMENT"},
        {"", "@DOCUMENT"},
        // Overlapping end tags; the grandparent rule closes a child that outlives its parent.
        {"<b><i>x</b></i>", "B[<i>x](I[x</b>]) @DOCUMENT"},
        {"<b><i>x</b><u>z</u></i>", "B[<i>x](I[x]) U[z] @DOCUMENT"},
        {"<div><div>a</div>b</div>", "DIV[<div>a</div>b](DIV[a]) @DOCUMENT"},
        {"<DiV>x</dIv>", "DIV[x] @DOCUMENT"},
        // Dropped tokens: unmatched end tags, tags cut short, end tags with more than a name.
        {"</div>x", "@DOCUMENT"},
        {"<a href=x <b>y</b>", "B[y] @DOCUMENT"},
        {"<b>x</b c>", "B @DOCUMENT"},
        // Elements without content take no text and no children.
        {"<br/><br><img src=x>y", "BR/ BR IMG @DOCUMENT"},
        {"<div><br>x<hr></div>", "DIV[<br>x<hr>](BR HR) @DOCUMENT"},
        {"<title>A &amp; B</title>", "TITLE[A &amp; B] @DOCUMENT"},
        // Raw-text blocks and comments hide the tags inside them.
        {"<pre><a href=x>y</a></pre>", "PRE[<a href=x>y</a>] @DOCUMENT"},
        {"<xmp><a href=x>y</a></xmp>", "XMP[<a href=x>y</a>] @DOCUMENT"},
        {"<script><a href=x>y</a></script>", "SCRIPT[<a href=x>y</a>] @DOCUMENT"},
        {"<style type=text/css><a href=x>y</a></style>", "STYLE[<a href=x>y</a>] @DOCUMENT"},
        {"<script>s = \"</script>\";</script>", "SCRIPT[s = \"</script>\";] @DOCUMENT"},
        {"<!-- <a href=x>y</a> -->", "!-- @DOCUMENT"},
        {"<script>a</script \r\n>b", "SCRIPT[a] @DOCUMENT"},
        {"<script>x", "@DOCUMENT"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(shape(*parseNow(c.page)), c.tree) << c.page;
}

// Deliberate: only blanks and line breaks may stand between a raw-text block's end marker and
// its ">"; anything else leaves the block unclosed, so it becomes a leaf without text.
TEST(ElementTree, rawTextBlockWithoutItsCloserIsALeaf)
{
    EXPECT_EQ(shape(*parseNow("<div><script>a</script\t></div>")), "DIV[<script>a</script\t>](SCRIPT) @DOCUMENT");
    // A later end tag of the name still closes it, and then it holds what came between.
    EXPECT_EQ(shape(*parseNow("<script>a</scriptx><b>y</b></script>")), "SCRIPT[a</scriptx><b>y</b>](B[y]) @DOCUMENT");
}

TEST(ElementTree, recordsPositionsAndRawText)
{
    auto page = parseNow("<a href=x>y</a><pre id=p>\nz</pre><!-- c -->");
    const auto& elements = page->elements();
    ASSERT_EQ(elements.size(), 4u);
    const Element& a = elements[0];
    EXPECT_EQ(a.rawText, "<a href=x>");
    EXPECT_TRUE(a.closed);
    EXPECT_EQ(a.start, 1u);
    EXPECT_EQ(a.end, 15u);
    EXPECT_EQ(a.contentStart, 11u);
    EXPECT_EQ(a.contentEnd, 11u);
    const Element& pre = elements[1];
    EXPECT_EQ(pre.rawText, "<pre id=p>");
    EXPECT_EQ(pre.start, 16u);
    EXPECT_EQ(pre.contentStart, 26u);
    EXPECT_EQ(pre.contentEnd, 27u);
    EXPECT_EQ(pre.end, 33u);
    const Element& comment = elements[2];
    EXPECT_EQ(comment.name, "!--");
    EXPECT_EQ(comment.rawText, "<!-- c -->");
    EXPECT_EQ(comment.start, 34u);
    EXPECT_EQ(comment.end, 44u);
    const Element& sentinel = elements[3];
    EXPECT_EQ(sentinel.name, "@DOCUMENT");
    EXPECT_EQ(sentinel.start, page->document().size() + 1);
    EXPECT_EQ(attributes(a), std::vector<std::string>{"href=x"});
}

TEST(ElementTree, nodesWalkWithFirstAndNext)
{
    auto page = parseNow("<ul><li>a<li>b<li>c</ul>");
    const ElementNode* list = page->root().first();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->name(), "UL");
    EXPECT_EQ(list->parent(), &page->root());
    EXPECT_EQ(list->owner(), &page->nodes());
    std::string names;
    for (const ElementNode* item = list->first(); item; item = list->next())
        names += std::string(page->innerText(*item));
    EXPECT_EQ(names, "abc");
    EXPECT_EQ(list->first()->name(), "LI");
    EXPECT_EQ(page->root().next()->name(), "@DOCUMENT");
    EXPECT_EQ(page->root().next(), nullptr);
    EXPECT_EQ(page->root().name(), "TopParent");
    EXPECT_EQ(page->root().element(), nullptr);
}
