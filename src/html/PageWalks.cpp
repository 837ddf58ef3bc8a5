#include "html/PageWalks.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"

namespace quill {
namespace {

// ASCII letters lowered; both bytes of a double-byte character kept, so a Chinese address stays.
std::string lowerAscii(std::string_view text)
{
    std::string out(text);
    for (std::size_t i = 0; i < out.size();) {
        std::size_t length = gbkCharLength(out, i);
        if (length == 1 && out[i] >= 'A' && out[i] <= 'Z')
            out[i] = static_cast<char>(out[i] + 32);
        i += length;
    }
    return out;
}

struct Entry {
    std::string name; // lowered
    std::string_view value;
};

// An attribute entry cut at its first "="; false for an entry without one.
bool splitEntry(std::string_view entry, Entry& out)
{
    std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos)
        return false;
    out.name = lowerAscii(entry.substr(0, equals));
    out.value = entry.substr(equals + 1);
    return true;
}

struct Prefixes {
    std::string title = gbk("网页标题:   ");
    std::string description = gbk("网页描述:    ");
    std::string keywords = gbk("网页关键词:     ");
};

const Prefixes& prefixes()
{
    static const Prefixes texts;
    return texts;
}

void headerLine(const ParsedPage& page, const ElementNode& node, std::vector<std::string>& lines)
{
    if (node.name() == "TITLE") {
        lines.push_back(prefixes().title + std::string(page.innerText(node)));
        return;
    }
    if (node.name() != "META")
        return;
    std::string metaName;
    std::string metaContent;
    Entry entry;
    for (const std::string& attribute : attributes(*node.element())) {
        if (!splitEntry(attribute, entry))
            continue;
        if (entry.name == "name")
            metaName = lowerAscii(entry.value);
        else if (entry.name == "content")
            metaContent = entry.value;
    }
    if (metaName == "description")
        lines.push_back(prefixes().description + metaContent);
    else if (metaName == "keywords")
        lines.push_back(prefixes().keywords + metaContent);
}

void linkLines(const ParsedPage& page, const ElementNode& link, std::vector<std::string>& lines)
{
    Entry entry;
    for (const std::string& attribute : attributes(*link.element())) {
        if (!splitEntry(attribute, entry) || entry.name != "href")
            continue;
        std::string text = replaceAllIgnoreCase(page.innerText(link), "&nbsp;", " ");
        lines.push_back(std::string(trim(text)) + ": " + lowerAscii(entry.value));
    }
}

struct Frame {
    const ElementNode* node;
    std::size_t next;
};

} // namespace

void collectHeaderInfo(const ParsedPage& page, const ElementNode& node, std::vector<std::string>& lines)
{
    // Depth-first with an explicit stack, so a page nested thousands deep cannot exhaust the stack.
    std::vector<Frame> stack{{&node, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.node->count()) {
            stack.push_back({top.node->item(top.next++), 0});
            continue;
        }
        const ElementNode* done = top.node;
        stack.pop_back();
        if (!stack.empty())
            headerLine(page, *done, lines);
    }
}

void collectLinks(const ParsedPage& page, const ElementNode& node, std::vector<std::string>& lines)
{
    std::vector<Frame> stack{{&node, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next >= top.node->count()) {
            stack.pop_back();
            continue;
        }
        const ElementNode* child = top.node->item(top.next++);
        if (child->name() == "A")
            linkLines(page, *child, lines);
        else
            stack.push_back({child, 0});
    }
}

std::vector<std::string> pageHeaderLines(const ParsedPage& page)
{
    std::vector<std::string> lines;
    if (!page.status())
        return lines;
    for (std::size_t i = 0; i < page.root().count(); ++i)
        collectHeaderInfo(page, *page.root().item(i), lines);
    return lines;
}

std::vector<std::string> pageLinkLines(const ParsedPage& page)
{
    std::vector<std::string> lines;
    if (!page.status())
        return lines;
    for (std::size_t i = 0; i < page.root().count(); ++i)
        collectLinks(page, *page.root().item(i), lines);
    return lines;
}

} // namespace quill
