#include "text/UrlCoding.h"

#include "platform/CodePage.h"

namespace quill {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// UTF-16 units of `bytes` up to the first U+0000. Continuation bytes are not checked, over-long
// forms pass, a four-byte form gives one unit from its first three bytes, and missing bytes read 0.
std::u16string looseUtf8ToUnits(std::string_view bytes)
{
    auto byteAt = [bytes](size_t i) -> unsigned {
        return i < bytes.size() ? static_cast<unsigned char>(bytes[i]) : 0;
    };
    std::u16string units;
    units.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size();) {
        const unsigned b0 = byteAt(i);
        unsigned unit;
        if (b0 < 0x80) {
            unit = b0;
            i += 1;
        } else if (b0 >= 0xC0 && b0 <= 0xDF) {
            unit = ((b0 & 0x1F) << 6) | (byteAt(i + 1) & 0x3F);
            i += 2;
        } else {
            unit = ((b0 & 0x0F) << 12) | ((byteAt(i + 1) & 0x3F) << 6) | (byteAt(i + 2) & 0x3F);
            i += 3;
        }
        if (unit == 0)
            break;
        units.push_back(static_cast<char16_t>(unit));
    }
    return units;
}

} // namespace

Result<std::string> urlDecode(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c != '%') {
            out += c;
        } else if (i + 1 < text.size() && text[i + 1] == '%') {
            out += '%';
            ++i;
        } else if (text.size() - i < 3) {
            return Status::failure("Error decoding URL style (%XX) encoded string at position " +
                                 std::to_string(i + 1));
        } else {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return Status::failure("Invalid URL encoded character (" + std::string(text.substr(i, 3)) +
                                     ") at position " + std::to_string(i + 1));
            out += static_cast<char>(high * 16 + low);
            i += 2;
        }
    }
    return out;
}

std::string utf8ToCodePage(std::string_view bytes)
{
    return utf16ToGbkComposed(looseUtf8ToUnits(bytes));
}

std::string urlEncode(std::string_view text)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

} // namespace quill
