#include "html/ParsedPage.h"

#include "html/ElementList.h"
#include "html/SplitTagText.h"
#include "platform/CodePage.h"

#include <new>

namespace quill {
namespace {

struct Level {
    ElementNode* node;
    Element* element;
};

// True when `next` does not belong inside `parent`; the leave, grandparent and content rules, in
// that order, the latter two closing the parent.
bool leavesLevel(const Level& parent, const Element& next)
{
    Element& p = *parent.element;
    if (p.empty || (!p.closed && !p.contentRow) || (p.closed && p.end <= next.start))
        return true;
    const Element* grandparent = parent.node->parent()->element();
    if (grandparent && grandparent->end < next.start) {
        p.closed = true;
        p.end = p.contentEnd = grandparent->contentEnd;
        return true;
    }
    if (p.contentRow && !p.contentRow->contains(next.name)) {
        p.closed = true;
        p.end = p.contentEnd = next.start - 1;
        return true;
    }
    return false;
}

} // namespace

void buildTree(std::vector<Element>& elements, ElementTree& nodes)
{
    // The open levels, innermost last; leaving a level hands the same element to the one above.
    std::vector<Level> levels;
    std::size_t index = 0;
    while (index < elements.size()) {
        Element& element = elements[index];
        if (!levels.empty() && leavesLevel(levels.back(), element)) {
            levels.pop_back();
            continue;
        }
        ElementNode& parent = levels.empty() ? nodes.root() : *levels.back().node;
        const bool openOptional = !element.closed && element.contentRow;
        if (openOptional && !levels.empty()) {
            element.end = element.contentEnd = levels.back().element->contentEnd;
            levels.push_back({&nodes.add(parent, element), &element});
        } else if (element.closed || element.empty) {
            levels.push_back({&nodes.add(parent, element), &element});
        } else {
            // Unclosed ordinary elements, and optional ones at the top level, take no children.
            nodes.add(parent, element);
        }
        ++index;
    }
}

void ParsedPage::build(const std::atomic<bool>& stop)
{
    if (m_document.size() > kMaxPageBytes) {
        m_status = Status::failure(gbk("页面大于 32 MiB，不作分析"));
        return;
    }
    try {
        Result<std::vector<Element>> elements = buildElementList(m_document, stop, kMaxPageElements);
        if (!elements) {
            m_status = elements.status();
            return;
        }
        m_elements = std::move(elements.value());
        if (stop.load(std::memory_order_relaxed))
            return;
        buildTree(m_elements, m_nodes);
    } catch (const std::bad_alloc&) {
        // The nodes made so far point into the list, so both stay; the status keeps walks away.
        m_status = Status::failure("Out of memory");
    }
}

std::string_view ParsedPage::innerText(const ElementNode& node) const
{
    const Element* element = node.element();
    if (!element || !element->closed || element->empty)
        return {};
    if (element->contentEnd < element->contentStart || element->contentEnd > m_document.size())
        return {};
    return std::string_view(m_document).substr(element->contentStart - 1, element->contentEnd - element->contentStart + 1);
}

std::vector<std::string> attributes(const Element& element)
{
    std::vector<std::string> attributes;
    splitTagText(element.rawText, &attributes);
    return attributes;
}

} // namespace quill
