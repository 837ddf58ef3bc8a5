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
    // Messages carry file names and server texts: shown as written, never as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillmarkbox"), text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void setErrorBoxHandler(std::function<void(const QString& text)> newHandler) { handler() = std::move(newHandler); }

} // namespace quill
