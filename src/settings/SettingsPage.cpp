#include "settings/SettingsPage.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quill {

SettingsPage::SettingsPage(QWidget* parent) : QWidget(parent)
{
    auto* label = new QLabel(QString::fromUtf8("日志目录"), this);
    edt1 = new QLineEdit(this);
    edt1->setObjectName(QStringLiteral("edt1"));
    Button4 = new QPushButton(QString::fromUtf8("定位目录"), this);
    Button4->setObjectName(QStringLiteral("Button4"));
    Button3 = new QPushButton(QString::fromUtf8("保存配制"), this);
    Button3->setObjectName(QStringLiteral("Button3"));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label, 0, 0);
    layout->addWidget(edt1, 0, 1);
    layout->addWidget(Button4, 0, 2);
    layout->addWidget(Button3, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);
}

} // namespace quill
