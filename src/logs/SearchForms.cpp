#include "logs/SearchForms.h"

#include "platform/CodePage.h"

#include <algorithm>

namespace quill {
namespace {

std::string percentEncodeHigh(std::string_view bytes, std::string_view blank)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else if (c == ' ') {
            out += blank;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace

std::vector<std::string> searchForms(std::string_view text, bool encoded)
{
    std::vector<std::string> forms;
    if (text.empty())
        return forms;
    forms.emplace_back(text);
    if (!encoded)
        return forms;
    for (const std::string& bytes : {std::string(text), gbkToUtf8(text)})
        for (std::string_view blank : {"+", "%20"}) {
            std::string form = percentEncodeHigh(bytes, blank);
            if (std::find(forms.begin(), forms.end(), form) == forms.end())
                forms.push_back(std::move(form));
        }
    return forms;
}

} // namespace quill
