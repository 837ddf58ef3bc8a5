#pragma once
// One parsed page: its text, its element list and the element tree built from them.
// Pass 2 of a parse shapes the list into the tree: elements whose end tag may be left out are
// closed where the next element does not fit inside them.

#include "html/ElementTree.h"
#include "platform/Status.h"

#include <atomic>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// Bounds of a parse: a page of more elements or bytes is not parsed. Real pages stay far below
// them; 32 MiB of "<a>" would otherwise take gigabytes.
inline constexpr std::size_t kMaxPageElements = 500000;
inline constexpr std::size_t kMaxPageBytes = std::size_t(32) << 20;

class ParsedPage {
public:
    explicit ParsedPage(std::string document = {}) : m_document(std::move(document)) {}
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;

    // Builds the element list and the tree; gives up part-way, leaving no tree, once `stop` is set.
    // A page past the bounds, or memory running out, leaves a failed status and no tree to walk.
    void build(const std::atomic<bool>& stop);
    // Why the page was not parsed (GBK); success for a parsed or never-built page.
    const Status& status() const { return m_status; }

    const std::string& document() const { return m_document; }
    const std::vector<Element>& elements() const { return m_elements; }
    const ElementTree& nodes() const { return m_nodes; }
    const ElementNode& root() const { return m_nodes.root(); }

    // The raw page text between an element's start and end tags; empty for an element without
    // content or without a known end. Entities and markup inside are left as they are.
    std::string_view innerText(const ElementNode& node) const;

private:
    std::string m_document;
    std::vector<Element> m_elements;
    ElementTree m_nodes;
    Status m_status;
};

// Adds a node for every element of `elements` to `nodes`, closing elements as the nesting rules say.
void buildTree(std::vector<Element>& elements, ElementTree& nodes);

// The attribute entries of the element's start tag, re-split on every call.
std::vector<std::string> attributes(const Element& element);

} // namespace quill
