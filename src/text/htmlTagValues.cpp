#include "text/htmlTagValues.h"

#include "platform/CodePage.h"
#include "text/GbkText.h"

#include <algorithm>
#include <array>
#include <utility>

namespace quill {
namespace {

constexpr auto npos = std::string_view::npos;

// HtmlToText's replacements, in this order: a removed line break can join the pieces of an entity.
constexpr std::pair<std::string_view, std::string_view> kSpacing[] = {
    {"\n", ""}, {"\r", ""}, {"\t", " "}, {"&nbsp", " "}, {"&gt;", " "}, {";", " "},
};

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

// `html` without its title element, when the first "</title>" comes after the "<title".
std::string withoutTitle(std::string_view html)
{
    const size_t open = findExact(html, "<title");
    const size_t close = findExact(html, "</title>");
    if (open == npos || close == npos || close < open)
        return std::string(html);
    return std::string(html.substr(0, open)).append(html.substr(close + 8));
}

// Deletes each `open` up to and including the first `close` after it, left to right. One pass
// equals deleting the first block again and again, because every "<" follows a space by now and
// no deletion can join two pieces into a new `open`. An `open` with no `close` after it ends the
// deleting and the rest stays.
std::string withoutBlocks(std::string_view text, std::string_view open, std::string_view close)
{
    std::string out;
    out.reserve(text.size());
    size_t copied = 0;
    for (size_t at = findExact(text, open); at != npos; at = findExact(text, open, copied)) {
        const size_t end = findExact(text, close, at + open.size());
        if (end == npos)
            break;
        out.append(text.substr(copied, at - copied));
        copied = end + close.size();
    }
    out.append(text.substr(copied));
    return out;
}

// Every run of spaces (whole characters) as one space: what replacing "  " by " " until none is
// left gives, in one pass.
std::string collapseSpaces(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool afterSpace = false;
    for (size_t i = 0; i < text.size();) {
        const size_t length = gbkCharLength(text, i);
        const bool space = length == 1 && text[i] == ' ';
        if (!(space && afterSpace))
            out.append(text.substr(i, length));
        afterSpace = space;
        i += length;
    }
    return out;
}

// True for a character that SplitPhrases turns into a space.
bool isPhraseSeparator(std::string_view character)
{
    static const std::array<std::string, 10> wide = {
        gbk("："), gbk("“"), gbk("”"), gbk("！"), gbk("、"), gbk("—"), gbk("。"), gbk("（"), gbk("）"), gbk("，"),
    };
    if (character.size() == 1)
        return std::string_view("!|>/?+,:_").find(character[0]) != npos;
    return std::find(wide.begin(), wide.end(), character) != wide.end();
}

} // namespace

std::string HtmlToText(std::string_view html)
{
    std::string text = replaceAllIgnoreCase(withoutTitle(html), "<", " <");
    text = withoutBlocks(text, "<style", "</style>");
    text = withoutBlocks(text, "<script", "</script>");
    text = withoutBlocks(text, "<", ">");
    for (auto [from, to] : kSpacing)
        text = replaceAllIgnoreCase(text, from, to);
    text = collapseSpaces(text);
    return titleLine(html) + "\r\n" + std::string(trim(text));
}

std::string SplitPhrases(std::string_view text)
{
    // Each separator is one whole character replaced by a space, so one pass over the characters
    // gives what a replacement per separator gives.
    std::string spaced;
    spaced.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const std::string_view character = text.substr(i, gbkCharLength(text, i));
        if (isPhraseSeparator(character))
            spaced += ' ';
        else
            spaced.append(character);
        i += character.size();
    }
    return std::string(trim(replaceAllIgnoreCase(collapseSpaces(spaced), " ", "\r\n")));
}

std::string TextBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker)
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
