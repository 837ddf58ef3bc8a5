#pragma once
// The text of the standard error box.

#include <string>
#include <string_view>

namespace quill {

// `message` with every NUL byte written as "\0", so that it shows and ends nothing: messages
// quote input bytes, and a NUL is one of them.
std::string visibleMessage(std::string_view message);

// visibleMessage(`message`) with a full stop appended when its last character sorts after ".".
std::string errorBoxText(std::string_view message);

} // namespace quill
