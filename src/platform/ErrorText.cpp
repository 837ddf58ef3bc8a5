#include "platform/ErrorText.h"

namespace quill {

std::string visibleMessage(std::string_view message)
{
    std::string text;
    text.reserve(message.size());
    for (char c : message) {
        if (c == '\0')
            text += "\\0";
        else
            text += c;
    }
    return text;
}

std::string errorBoxText(std::string_view message)
{
    std::string text = visibleMessage(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.')
        text += '.';
    return text;
}

} // namespace quill
