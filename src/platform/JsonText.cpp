#include "platform/JsonText.h"

#include "platform/CodePage.h"

namespace quill {
namespace {

inline bool needsEscape(unsigned char c) { return c < 0x20 || c == '"' || c == '\\'; }

void appendEscaped(std::string& out, unsigned char c)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '\\';
    switch (c) {
    case '"': out += '"'; return;
    case '\\': out += '\\'; return;
    case '\b': out += 'b'; return;
    case '\f': out += 'f'; return;
    case '\n': out += 'n'; return;
    case '\r': out += 'r'; return;
    case '\t': out += 't'; return;
    default:
        out += "u00";
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    }
}

} // namespace

void appendJsonString(std::string& out, std::string_view utf8)
{
    out += '"';
    size_t copied = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (!needsEscape(c))
            continue;
        out.append(utf8.substr(copied, i - copied));
        appendEscaped(out, c);
        copied = i + 1;
    }
    out.append(utf8.substr(copied));
    out += '"';
}

void appendGbkJsonString(std::string& out, std::string_view gbk)
{
    for (char c : gbk) {
        if ((c & 0x80) != 0) {
            appendJsonString(out, gbkToUtf8(gbk));
            return;
        }
    }
    appendJsonString(out, gbk); // ASCII is UTF-8 as it stands
}

} // namespace quill
