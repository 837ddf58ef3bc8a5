#include "gui/ErrorBoxDialog.h"

#include "platform/ErrorText.h"
#include "gui/QtGbk.h"

#include <QMessageBox>

namespace quill {
namespace {

std::function<void(const QString&)>& handler()
{
    static std::function<void(const QString&)> instance;
    return instance;
}

} // namespace

void showErrorBox(QWidget* parent, std::string_view gbkMessage)
{
    const QString text = fromGbk(errorBoxText(gbkMessage));
    if (handler()) {
        handler()(text);
        return;
    }
    QMessageBox::critical(parent, QStringLiteral("Quillmarkbox"), text);
}

void setErrorBoxHandler(std::function<void(const QString& text)> newHandler) { handler() = std::move(newHandler); }

} // namespace quill
