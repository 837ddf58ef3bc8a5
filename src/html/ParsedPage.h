#pragma once
// One parsed page: its text, its element list and the element tree built from them.
// Pass 2 of a parse shapes the list into the tree: elements whose end tag may be left out are
// closed where the next element does not fit inside them.

#include "html/ElementTree.h"

#include <atomic>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class ParsedPage {
public:
    explicit ParsedPage(std::string document = {}) : m_document(std::move(document)) {}
    ParsedPage(const ParsedPage&) = delete;
    ParsedPage& operator=(const ParsedPage&) = delete;

    // Builds the element list and the tree; gives up part-way, leaving no tree, once `stop` is set.
    void build(const std::atomic<bool>& stop);

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
};

// Adds a node for every element of `elements` to `nodes`, closing elements as the nesting rules say.
void buildTree(std::vector<Element>& elements, ElementTree& nodes);

// The attribute entries of the element's start tag, re-split on every call.
std::vector<std::string> attributes(const Element& element);

} // namespace quill
