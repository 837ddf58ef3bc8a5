#include "gui/ErrorBoxDialog.h"

#include "platform/ErrorText.h"
#include "gui/QtGbk.h"

#include <QMessageBox>

namespace quill {

void showErrorBox(QWidget* parent, std::string_view gbkMessage)
{
    QMessageBox::critical(parent, QStringLiteral("Quillmarkbox"), fromGbk(errorBoxText(gbkMessage)));
}

} // namespace quill
