#pragma once
// One parsed page: its text, its element list and the element tree built from them.
// Pass 2 of a parse shapes the list into the tree: elements whose end tag may be left out are
// closed where the next element does not fit inside them.

#include "html/TTreeListNodes.h"

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
    const std::vector<TUITagElement>& elements() const { return m_elements; }
    const TTreeListNodes& nodes() const { return m_nodes; }
    const TTreeListNode& root() const { return m_nodes.root(); }

    // The raw page text between an element's start and end tags; empty for an element without
    // content or without a known end. Entities and markup inside are left as they are.
    std::string_view InnerText(const TTreeListNode& node) const;

private:
    std::string m_document;
    std::vector<TUITagElement> m_elements;
    TTreeListNodes m_nodes;
};

// Adds a node for every element of `elements` to `nodes`, closing elements as the nesting rules say.
void BuildTree(std::vector<TUITagElement>& elements, TTreeListNodes& nodes);

// The attribute entries of the element's start tag, re-split on every call.
std::vector<std::string> Attributes(const TUITagElement& element);

} // namespace quill
