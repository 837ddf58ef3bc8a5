#include "gui/ErrorBoxDialog.h"

#include "platform/ErrorText.h"
#include "gui/QtGbk.h"

#include <QMessageBox>

namespace quill {

void showErrorBox(QWidget* parent, std::string_view gbkMessage)
{
    // Messages carry file names and server texts: shown as written, never as markup.
    QMessageBox box(QMessageBox::Critical, QStringLiteral("Quillmarkbox"), fromGbk(errorBoxText(gbkMessage)),
                    QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace quill
