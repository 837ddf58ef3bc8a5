#pragma once
// The text of the standard error box.

#include <string>
#include <string_view>

namespace quill {

// `message` with a full stop appended when its last character sorts after ".".
std::string errorBoxText(std::string_view message);

} // namespace quill
