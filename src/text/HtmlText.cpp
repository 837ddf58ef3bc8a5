#include "text/HtmlText.h"

#include "platform/CodePage.h"
#include "platform/GbkText.h"

#include <algorithm>
#include <array>
#include <string>

namespace quill {
namespace {

constexpr auto npos = std::string_view::npos;

// "标题: " and the raw title after "<title" and before the first "</title>" of the text, without
// the rest of its opening tag; the raw title is empty when that "</title>" is not after it, and
// the whole line is empty when there is no "<title".
std::string titleLine(std::string_view html)
{
    const size_t open = findExact(html, "<title");
    if (open == npos)
        return {};
    static const std::string label = gbk("标题: ");
    const size_t start = open + 6;
    const size_t end = findExact(html, "</title>");
    if (end == npos || end <= start)
        return label;
    std::string_view title = html.substr(start, end - start);
    const size_t tagEnd = findExact(title, ">");
    return label + std::string(tagEnd == npos ? title : title.substr(tagEnd + 1));
}

// `html` without its title element, when the first "</title>" comes after the "<title", and with
// a space put before every "<".
std::string spacedWithoutTitle(std::string_view html)
{
    const size_t open = findExact(html, "<title");
    const size_t close = findExact(html, "</title>");
    const bool hasTitle = open != npos && close != npos && close > open;
    std::string text;
    text.reserve(html.size() + static_cast<size_t>(std::count(html.begin(), html.end(), '<')));
    // Both pieces start on a character boundary, so each can be walked on its own.
    const std::string_view before = html.substr(0, hasTitle ? open : npos);
    const std::string_view after = hasTitle ? html.substr(close + 8) : "";
    for (std::string_view piece : {before, after}) {
        size_t copied = 0;
        for (size_t at = findExact(piece, "<"); at != npos; at = findExact(piece, "<", at + 1)) {
            text.append(piece.substr(copied, at - copied)).push_back(' ');
            copied = at;
        }
        text.append(piece.substr(copied));
    }
    return text;
}

// Moves text[from, to) down to text[kept, ...) and advances `kept`. The in-place passes below
// write only behind what they have yet to read, and their searches read only ahead.
void keep(std::string& text, size_t& kept, size_t from, size_t to)
{
    if (kept != from)
        std::char_traits<char>::move(text.data() + kept, text.data() + from, to - from);
    kept += to - from;
}

// Deletes each `open` up to and including the first `close` after it, left to right. One pass
// equals deleting the first block again and again, because every "<" follows a space by now and
// no deletion can join two pieces into a new `open`. An `open` with no `close` after it ends the
// deleting and the rest stays.
void removeBlocks(std::string& text, std::string_view open, std::string_view close)
{
    size_t kept = 0;
    size_t copied = 0;
    for (size_t at = findExact(text, open); at != npos; at = findExact(text, open, copied)) {
        const size_t end = findExact(text, close, at + open.size());
        if (end == npos)
            break;
        keep(text, kept, copied, at);
        copied = end + close.size();
    }
    keep(text, kept, copied, text.size());
    text.resize(kept);
}

// Deletes every CR and LF character.
void removeLineBreaks(std::string& text)
{
    size_t kept = 0;
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t length = gbkCharLength(text, i);
        if (length == 1 && (text[i] == '\r' || text[i] == '\n')) {
            keep(text, kept, run, i);
            run = i + 1;
        }
        i += length;
    }
    keep(text, kept, run, text.size());
    text.resize(kept);
}

// Turns each piece that `spaceLength(text, i)` measures at a character boundary i (0 for none,
// 1 for a space) into a space, and each run of spaces into one space. The pieces are whole
// characters or whole runs of them and none holds a space, so no replacement can make or break
// another's match, and one pass gives what a replacement per piece and then replacing "  " by
// " " until none is left gives.
template <typename SpaceLength>
void collapseToSpaces(std::string& text, SpaceLength spaceLength)
{
    size_t kept = 0;
    size_t run = 0;
    for (size_t i = 0; i < text.size();) {
        const size_t space = spaceLength(std::string_view(text), i);
        if (space == 0) {
            i += gbkCharLength(text, i);
            continue;
        }
        const bool afterSpace = i > 0 && run == i;
        keep(text, kept, run, i);
        if (!afterSpace)
            text[kept++] = ' ';
        i += space;
        run = i;
    }
    keep(text, kept, run, text.size());
    text.resize(kept);
}

// htmlToText's spaces: a space, TAB, "&nbsp", "&gt;" (ignoring case) or ";".
size_t htmlSpaceLength(std::string_view text, size_t i)
{
    static const CaselessNeedle nbsp("&nbsp");
    static const CaselessNeedle gt("&gt;");
    switch (text[i]) {
    case ' ':
    case '\t':
    case ';':
        return 1;
    case '&':
        return nbsp.matchesAt(text, i) ? nbsp.size() : gt.matchesAt(text, i) ? gt.size() : 0;
    default:
        return 0;
    }
}

// splitPhrases' spaces: a space or one of the separator characters.
size_t phraseSpaceLength(std::string_view text, size_t i)
{
    static const std::array<std::string, 10> wide = {
        gbk("："), gbk("“"), gbk("”"), gbk("！"), gbk("、"), gbk("—"), gbk("。"), gbk("（"), gbk("）"), gbk("，"),
    };
    const std::string_view character = text.substr(i, gbkCharLength(text, i));
    if (character.size() == 1)
        return std::string_view(" !|>/?+,:_").find(character[0]) != npos ? 1 : 0;
    return std::find(wide.begin(), wide.end(), character) != wide.end() ? 2 : 0;
}

} // namespace

std::string htmlToText(std::string_view html)
{
    std::string text = spacedWithoutTitle(html);
    removeBlocks(text, "<style", "</style>");
    removeBlocks(text, "<script", "</script>");
    removeBlocks(text, "<", ">");
    // Line breaks go first: removing one can join the pieces of an entity.
    removeLineBreaks(text);
    collapseToSpaces(text, htmlSpaceLength);
    return titleLine(html) + "\r\n" + std::string(trim(text));
}

std::string splitPhrases(std::string_view text)
{
    std::string spaced(text);
    collapseToSpaces(spaced, phraseSpaceLength);
    return std::string(trim(replaceAllIgnoreCase(spaced, " ", "\r\n")));
}

std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker)
{
    const size_t start = findExact(text, startMarker);
    if (start == npos)
        return {};
    const size_t from = start + startMarker.size();
    const size_t end = findExact(text, endMarker);
    if (end == npos || end < from)
        return {};
    return std::string(text.substr(from, end - from));
}

} // namespace quill
