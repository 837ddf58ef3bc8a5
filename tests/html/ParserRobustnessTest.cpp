// Random and truncated input: every parse ends, and the tree it leaves is sound.

#include "HtmlTestSupport.h"
#include "html/PageWalks.h"
#include "platform/CodePage.h"
#include "support/HtmlSamples.h"

#include <gtest/gtest.h>

#include <random>

using namespace quill;
using quill::test::expectSoundTree;
using quill::test::parseNow;

TEST(ParserRobustness, byteSoup)
{
    // Markup bytes weighted up, with NUL, lead bytes and quotes among them.
    std::string alphabet = "<<<>>>//!!--''\"\"== \t\r\naAbBpPiIlLtTdDsScCrRxXmMeE\x81\x9f\xe0\xfc\xfe";
    alphabet += '\0';
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::string text(random() % 1500, ' ');
        for (char& c : text)
            c = alphabet[random() % alphabet.size()];
        auto page = parseNow(text);
        expectSoundTree(*page);
        if (HasFailure())
            FAIL() << "seed " << seed;
    }
}

TEST(ParserRobustness, tagSoup)
{
    const std::vector<std::string> pieces = {
        "<p>", "<li>", "<td>", "<tr>", "<table>", "</table>", "<ul>", "</ul>", "</li>", "<div>", "</div>",
        "<b>", "</b>", "<i>", "</i>", "<a href=x>", "</a>", "<title>", "</title>", "<meta name=keywords content=k>",
        "<br>", "<br/>", "<img src=y>", "<!--", "-->", "<!DOCTYPE html>", "<script>", "</script>", "<pre>",
        "</pre >", "<xmp>", "<style>", "</style>", "<option>", "<select>", "<dl>", "<dt>", "<dd>", "<thead>",
        "<colgroup>", "<col>", "'", "\"", "<", "</", ">", "text ", "\x81", "\r\n", "<a href='x", "&nbsp;"};
    for (unsigned seed = 1; seed <= 300; ++seed) {
        std::mt19937 random(seed);
        std::string text;
        for (unsigned count = random() % 200; count > 0; --count)
            text += pieces[random() % pieces.size()];
        auto page = parseNow(text);
        expectSoundTree(*page);
        if (HasFailure())
            FAIL() << "seed " << seed << ": " << text;
    }
}

TEST(ParserRobustness, everyPrefixOfARealPage)
{
    const std::string page = test::portalPage();
    for (std::size_t length = 0; length <= page.size(); ++length) {
        expectSoundTree(*parseNow(page.substr(0, length)));
        if (HasFailure())
            FAIL() << "prefix of " << length << " bytes";
    }
}

// Each of these would rescan the rest of the page once per byte or per block if unterminated
// blocks were scanned anew every time; the test then would not finish.
TEST(ParserRobustness, unterminatedBlocksCostTheirBytesOnce)
{
    std::string longText = std::string(1 << 20, 'x') + "<a title='x>" + std::string(1 << 20, 'y');
    EXPECT_EQ(test::shape(*parseNow(longText)), "@DOCUMENT");

    std::string scripts;
    for (int i = 0; i < 100000; ++i)
        scripts += "<script>";
    EXPECT_EQ(test::shape(*parseNow(scripts + "'</script>")), "@DOCUMENT");

    std::string paragraphs = "<!-- '";
    for (int i = 0; i < 100000; ++i)
        paragraphs += "<p>";
    auto page = parseNow(paragraphs);
    EXPECT_EQ(page->root().count(), 100001u);
    EXPECT_EQ(page->root().item(0)->name(), "P");
}

TEST(ParserRobustness, deepNestingNeedsNoDeepStack)
{
    const int depth = 100000;
    std::string text;
    for (int i = 0; i < depth; ++i)
        text += "<div><a href=x>";
    for (int i = 0; i < depth; ++i)
        text += "</a></div>";
    auto page = parseNow(text);
    ASSERT_EQ(page->nodes().size(), 2u * depth + 2);
    const ElementNode* node = &page->root();
    int levels = 0;
    while (node->count() > 0 && node->item(0)->name() != "@DOCUMENT") {
        node = node->item(0);
        ++levels;
    }
    EXPECT_EQ(levels, 2 * depth);
    EXPECT_EQ(pageLinkLines(*page).size(), 1u);
    EXPECT_TRUE(pageHeaderLines(*page).empty());
}

TEST(ParserRobustness, pagesPastTheBoundsAreRefusedWithAMessage)
{
    auto anchors = [](std::size_t count) {
        std::string text;
        text.reserve(3 * count + 32);
        text += "<title>T</title>";
        while (text.size() < 16 + 3 * count)
            text += "<a>";
        return text;
    };
    struct Case {
        const char* what;
        std::string text;
        std::string failure; // GBK; empty: parsed
    };
    const Case cases[] = {
        // The title element and its end tag count too.
        {"at the element bound", anchors(kMaxPageElements - 1), {}},
        {"one element more", anchors(kMaxPageElements), gbk("页面元素超过 500000 个，不作分析")},
        {"32 MiB of links", anchors((std::size_t(32) << 20) / 3 - 8), gbk("页面元素超过 500000 个，不作分析")},
        {"more bytes than a page may have", std::string(kMaxPageBytes + 1, 'x'), gbk("页面大于 32 MiB，不作分析")},
    };
    for (const Case& c : cases) {
        auto page = parseNow(c.text);
        EXPECT_EQ(page->status().message(), c.failure) << c.what;
        if (c.failure.empty()) {
            expectSoundTree(*page);
            EXPECT_EQ(pageHeaderLines(*page).size(), 0u) << c.what; // a root child's title is not examined
            continue;
        }
        EXPECT_LE(page->elements().size(), kMaxPageElements) << c.what;
        EXPECT_TRUE(pageHeaderLines(*page).empty()) << c.what;
        EXPECT_TRUE(pageLinkLines(*page).empty()) << c.what;
    }
}
