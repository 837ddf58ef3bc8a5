#include "html/ParsedPage.h"

#include "html/ElementList.h"
#include "html/ElementTree.h"
#include "html/SplitTagText.h"

namespace quill {

void ParsedPage::build(const std::atomic<bool>& stop)
{
    m_elements = BuildElementList(m_document, stop);
    if (stop.load(std::memory_order_relaxed))
        return;
    BuildTree(m_elements, m_nodes);
}

std::string_view ParsedPage::InnerText(const TTreeListNode& node) const
{
    const TUITagElement* element = node.element();
    if (!element || !element->Closed || element->empty)
        return {};
    if (element->contentEnd < element->contentStart || element->contentEnd > m_document.size())
        return {};
    return std::string_view(m_document).substr(element->contentStart - 1, element->contentEnd - element->contentStart + 1);
}

std::vector<std::string> Attributes(const TUITagElement& element)
{
    std::vector<std::string> attributes;
    SplitTagText(element.rawText, &attributes);
    return attributes;
}

} // namespace quill
