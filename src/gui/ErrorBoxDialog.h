#pragma once
// The standard error box: every handler shows its escaping errors through this one function.

#include <QString>
#include <functional>
#include <string_view>

class QWidget;

namespace quill {

// Shows a GBK message with an error icon, an OK button and the caption "Quillmarkbox".
void showErrorBox(QWidget* parent, std::string_view gbkMessage);

// Replaces the box, so that offscreen tests can collect what would be shown; an empty function
// restores the box.
void setErrorBoxHandler(std::function<void(const QString& text)> handler);

} // namespace quill
