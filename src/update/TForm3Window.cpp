#include "update/TForm3Window.h"

namespace quill {

TForm3::TForm3(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QString::fromUtf8("软件升级"));
}

} // namespace quill
