#pragma once
// The standard error box: every handler shows its escaping errors through this one function.

#include <string_view>

class QWidget;

namespace quill {

// Shows a GBK message with an error icon, an OK button and the caption "Quillmarkbox".
void showErrorBox(QWidget* parent, std::string_view gbkMessage);

} // namespace quill
