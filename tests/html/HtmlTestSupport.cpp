#include "HtmlTestSupport.h"

#include "html/PageWalks.h"

#include <gtest/gtest.h>

#include <vector>

namespace quill::test {

std::unique_ptr<ParsedPage> parseNow(std::string_view text)
{
    auto page = std::make_unique<ParsedPage>(std::string(text));
    std::atomic<bool> stop{false};
    page->build(stop);
    return page;
}

namespace {

void appendShape(const ParsedPage& page, const ElementNode& node, std::string& out)
{
    out += node.name();
    std::string_view text = page.innerText(node);
    if (!text.empty())
        out += "[" + std::string(text) + "]";
    if (node.count() == 0)
        return;
    out += "(";
    for (std::size_t i = 0; i < node.count(); ++i) {
        if (i > 0)
            out += " ";
        appendShape(page, *node.item(i), out);
    }
    out += ")";
}

} // namespace

std::string shape(const ParsedPage& page)
{
    std::string out;
    for (std::size_t i = 0; i < page.root().count(); ++i) {
        if (i > 0)
            out += " ";
        appendShape(page, *page.root().item(i), out);
    }
    return out;
}

void expectSoundTree(const ParsedPage& page)
{
    const ElementNode& root = page.root();
    ASSERT_GT(root.count(), 0u);
    EXPECT_EQ(root.item(root.count() - 1)->name(), "@DOCUMENT");
    const auto& elements = page.elements();
    ASSERT_EQ(page.nodes().size(), elements.size() + 1);
    for (const Element& element : elements) {
        ASSERT_NE(element.node, nullptr) << element.name;
        EXPECT_EQ(element.node->element(), &element);
        if (element.closed && !element.empty && element.contentStart <= element.contentEnd) {
            EXPECT_GE(element.contentStart, 1u) << element.name;
            EXPECT_LE(element.contentEnd, page.document().size()) << element.name;
        }
        attributes(element);
    }
    // Depth first, elements come in list order.
    std::vector<const ElementNode*> stack{&root};
    std::size_t expected = 0;
    while (!stack.empty()) {
        const ElementNode* node = stack.back();
        stack.pop_back();
        if (node != &root) {
            ASSERT_EQ(node->element()->index, expected);
            ++expected;
        }
        for (std::size_t i = node->count(); i > 0; --i)
            stack.push_back(node->item(i - 1));
    }
    pageHeaderLines(page);
    pageLinkLines(page);
}

} // namespace quill::test
