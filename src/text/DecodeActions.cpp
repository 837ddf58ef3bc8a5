#include "text/DecodeActions.h"

#include "text/UrlCoding.h"
#include "text/HtmlText.h"

#include <algorithm>
#include <unordered_set>

namespace quill {
namespace {

// The lines of `text`. Every CR and LF byte ends a line, also one after a lead byte: neither is
// ever the second byte of a double-byte character.
std::vector<std::string_view> splitLines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t lineStart = 0;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '\r' || text[i] == '\n') {
            lines.push_back(text.substr(lineStart, i - lineStart));
            i += (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            lineStart = i;
        } else {
            ++i;
        }
    }
    if (lineStart < text.size())
        lines.push_back(text.substr(lineStart));
    return lines;
}

} // namespace

std::string withCrLf(std::string_view lfJoined)
{
    std::string text;
    text.reserve(lfJoined.size() + static_cast<size_t>(std::count(lfJoined.begin(), lfJoined.end(), '\n')));
    for (char c : lfJoined) {
        if (c == '\n')
            text += '\r';
        text += c;
    }
    return text;
}

Result<std::string> urlToChinese(std::string_view input)
{
    Result<std::string> decoded = urlDecode(input);
    if (decoded) {
        std::string& text = decoded.value();
        text.resize(std::min(text.size(), text.find('\0')));
    }
    return decoded;
}

Result<std::string> utf8ToGb(std::string_view input)
{
    Result<std::string> decoded = urlDecode(input);
    if (!decoded)
        return decoded;
    return utf8ToCodePage(decoded.value());
}

std::vector<std::string> distinctPhrases(std::string_view input)
{
    const std::string phrases = splitPhrases(input);
    std::vector<std::string> distinct;
    std::unordered_set<std::string_view> seen;
    for (std::string_view line : splitLines(phrases))
        if (seen.insert(line).second)
            distinct.emplace_back(line);
    return distinct;
}

} // namespace quill
