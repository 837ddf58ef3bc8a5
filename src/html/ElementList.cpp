#include "html/ElementList.h"

#include "html/SplitTagText.h"
#include "platform/CodePage.h"
#include "html/TagTokenizer.h"

#include <algorithm>
#include <string>
#include <unordered_map>

namespace quill {
namespace {

// Elements not yet closed, by name, oldest first: the newest open element of a name is found
// without walking back over the whole list.
class OpenElements {
public:
    void add(const Element& element) { m_byName[element.name].push_back(element.index); }

    // Index of the newest open element named `name`, taken off the index; npos when none.
    std::size_t takeNewest(const std::string& name)
    {
        auto it = m_byName.find(name);
        if (it == m_byName.end() || it->second.empty())
            return std::string::npos;
        std::size_t index = it->second.back();
        it->second.pop_back();
        return index;
    }

private:
    std::unordered_map<std::string, std::vector<std::size_t>> m_byName;
};

// The first ">" at or after a position; positions only grow, so each byte is looked at once.
class NextCloser {
public:
    explicit NextCloser(std::string_view document) : m_document(document) {}

    // 0-based index of the first ">" at or after `from`, or npos.
    std::size_t find(std::size_t from)
    {
        if (!m_searched || from < m_searchedFrom || (m_found != std::string_view::npos && m_found < from)) {
            m_searched = true;
            m_searchedFrom = from;
            m_found = m_document.find('>', from);
        }
        return m_found;
    }

private:
    std::string_view m_document;
    bool m_searched = false;
    std::size_t m_searchedFrom = 0;
    std::size_t m_found = std::string_view::npos;
};

class ListBuilder {
public:
    explicit ListBuilder(std::string_view document) : m_document(document), m_closers(document) {}

    Result<std::vector<Element>> run(const std::atomic<bool>& stop, std::size_t maxElements);

private:
    Element& append(std::string name, std::string rawText, bool closed);
    void addStartTag(const TagTokenizer& parser);
    void closeByEndTag(const TagTokenizer& parser);
    void addBlock(TagTokenizer& parser);
    void appendSentinel();

    std::string_view m_document;
    NextCloser m_closers;
    OpenElements m_open;
    std::vector<Element> m_elements;
};

Result<std::vector<Element>> ListBuilder::run(const std::atomic<bool>& stop, std::size_t maxElements)
{
    TagTokenizer parser(m_document);
    parser.addMarkerPair("</", ">");
    parser.addMarkerPair("<", ">");
    parser.setQuoteHandling(true);
    parser.reset();
    // Every element but the sentinel starts at a "<": one allocation, no moves while growing.
    const auto starts = static_cast<std::size_t>(std::count(m_document.begin(), m_document.end(), '<'));
    m_elements.reserve(std::min(starts, maxElements) + 1);
    for (TokenKind kind = parser.nextToken(); kind != TokenKind::End; kind = parser.nextToken()) {
        if (stop.load(std::memory_order_relaxed))
            return std::move(m_elements);
        // Stray ">" and unterminated blocks leave nothing; a tag cut short by "<" is dropped.
        if (kind != TokenKind::Block || !parser.endFound())
            continue;
        const std::string& marker = parser.startMarker();
        if (marker != "</" && m_elements.size() >= maxElements)
            return Status::failure(gbk("页面元素超过 ") + std::to_string(maxElements) + gbk(" 个，不作分析"));
        if (marker == "<")
            addStartTag(parser);
        else if (marker == "</")
            closeByEndTag(parser);
        else
            addBlock(parser);
    }
    appendSentinel();
    return std::move(m_elements);
}

Element& ListBuilder::append(std::string name, std::string rawText, bool closed)
{
    Element& element = m_elements.emplace_back();
    const ElementTables& tables = elementTables();
    element.empty = tables.emptyElements.contains(name);
    if (auto row = tables.contentRows.find(name); row != tables.contentRows.end())
        element.contentRow = row->second;
    element.name = std::move(name);
    element.rawText = std::move(rawText);
    element.closed = closed;
    element.index = m_elements.size() - 1;
    if (!closed)
        m_open.add(element);
    return element;
}

void ListBuilder::addStartTag(const TagTokenizer& parser)
{
    std::string_view text = parser.tokenText();
    Element& element = append(elementNameOf(text), std::string(text), false);
    element.start = parser.tokenPos();
    element.end = parser.tokenEndPos();
    element.contentStart = element.end + 1;
    element.contentEnd = element.end + 1;
}

void ListBuilder::closeByEndTag(const TagTokenizer& parser)
{
    std::size_t index = m_open.takeNewest(elementNameOf(parser.tokenText()));
    if (index == std::string::npos)
        return;
    Element& element = m_elements[index];
    element.end = parser.tokenEndPos();
    element.contentEnd = parser.tokenPos() - 1;
    element.closed = true;
}

void ListBuilder::addBlock(TagTokenizer& parser)
{
    std::string_view text = parser.tokenText();
    const std::size_t start = parser.tokenPos();
    const std::size_t end = parser.tokenEndPos() + 1;
    if (parser.startMarker() == "<!") {
        Element& element = append(elementNameOf(text), std::string(text), true);
        element.start = start;
        element.end = end;
        element.contentStart = start;
        element.contentEnd = end;
        return;
    }
    // A raw-text block is closed only when its end tag ends in ">", blanks and line breaks aside.
    std::size_t after = parser.tokenEndPos();
    while (after < m_document.size() && (m_document[after] == '\r' || m_document[after] == '\n' || m_document[after] == ' '))
        ++after;
    const bool closed = after < m_document.size() && m_document[after] == '>';
    std::string_view startTag = rawBlockStartTag(text);
    const std::size_t contentEnd = parser.tokenEndPos() - parser.endMarker().size();
    const std::size_t closer = m_closers.find(start);
    Element& element = append(elementNameOf(startTag), std::string(startTag), closed);
    element.start = start;
    element.end = end;
    element.contentStart = closer == std::string_view::npos ? m_document.size() + 1 : closer + 2;
    element.contentEnd = contentEnd;
    if (closed)
        parser.nextToken();
}

void ListBuilder::appendSentinel()
{
    Element& sentinel = append("@DOCUMENT", "@DOCUMENT", true);
    sentinel.start = m_document.size() + 1;
    sentinel.end = sentinel.start + 1;
    sentinel.contentStart = sentinel.start;
    sentinel.contentEnd = sentinel.start - 1;
}

} // namespace

Result<std::vector<Element>> buildElementList(std::string_view document, const std::atomic<bool>& stop,
                                              std::size_t maxElements)
{
    return ListBuilder(document).run(stop, maxElements);
}

} // namespace quill
