#include "webtools/PageCharset.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace quill {
namespace {

constexpr size_t kMetaWindow = 4096;

std::string lowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
    return lower;
}

bool isNameByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == ':';
}

// The value after "charset" in `text` (already lower-cased), from `from` on: blanks, "=", blanks,
// an optional quote, then the name.
std::string charsetValueAt(std::string_view text, size_t from)
{
    for (size_t at = text.find("charset", from); at != std::string_view::npos; at = text.find("charset", at + 1)) {
        size_t i = at + 7;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\r' || text[i] == '\n'))
            ++i;
        if (i >= text.size() || text[i] != '=')
            continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
            ++i;
        size_t end = i;
        while (end < text.size() && isNameByte(text[end]))
            ++end;
        if (end > i)
            return std::string(text.substr(i, end - i));
    }
    return {};
}

std::string byteOrderMark(std::string_view body)
{
    if (body.starts_with("\xEF\xBB\xBF"))
        return "utf-8";
    if (body.starts_with("\xFF\xFE"))
        return "utf-16le";
    if (body.starts_with("\xFE\xFF"))
        return "utf-16be";
    return {};
}

std::string metaCharset(std::string_view body)
{
    const std::string head = lowerAscii(body.substr(0, std::min(body.size(), kMetaWindow)));
    for (size_t meta = head.find("<meta"); meta != std::string::npos; meta = head.find("<meta", meta + 5)) {
        const size_t end = head.find('>', meta);
        const std::string_view tag = std::string_view(head).substr(meta, end == std::string::npos ? std::string::npos : end - meta);
        if (std::string charset = charsetValueAt(tag, 0); !charset.empty())
            return charset;
    }
    return {};
}

bool isGbkFamily(const std::string& charset)
{
    static const char* const names[] = {"gbk", "gb2312", "x-gbk", "cp936", "windows-936", "gb_2312-80", "euc-cn", "x-euc-cn", "csgb2312", "chinese"};
    return std::find(std::begin(names), std::end(names), charset) != std::end(names);
}

} // namespace

std::string declaredCharset(std::string_view contentType, std::string_view body)
{
    if (std::string bom = byteOrderMark(body); !bom.empty())
        return bom;
    const std::string type = lowerAscii(contentType);
    if (std::string charset = charsetValueAt(type, 0); !charset.empty())
        return charset;
    std::string charset = metaCharset(body);
    // A declaration readable as ASCII cannot be UTF-16 text; browsers read such pages as UTF-8.
    if (charset.starts_with("utf-16"))
        charset = "utf-8";
    return charset;
}

std::string pageToGbk(std::string_view contentType, std::string body)
{
    const std::string bom = byteOrderMark(body);
    const std::string charset = declaredCharset(contentType, body);
    if (charset.empty() || isGbkFamily(charset))
        return body;
    std::string_view text = body;
    if (!bom.empty())
        text.remove_prefix(bom == "utf-8" ? 3 : 2);
    if (std::optional<std::string> converted = charsetToGbk(text, charset))
        return std::move(*converted);
    return body;
}

} // namespace quill
