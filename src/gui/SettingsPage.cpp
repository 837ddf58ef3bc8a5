#include "gui/SettingsPage.h"

#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/WidgetSetup.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace quill {

SettingsPage::SettingsPage(Options options, QWidget* parent) : QWidget(parent), m_options(std::move(options))
{
    auto* label = new QLabel(QString::fromUtf8("日志目录"), this);
    m_logFolderBox = named(new QLineEdit(this), "edt1");
    m_chooseFolderButton = makeButton(this, "Button4", "定位目录");
    m_saveSettingsButton = makeButton(this, "Button3", "保存配制");

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 12, 12, 12);
    layout->addWidget(label, 0, 0);
    layout->addWidget(m_logFolderBox, 0, 1);
    layout->addWidget(m_chooseFolderButton, 0, 2);
    layout->addWidget(m_saveSettingsButton, 1, 2);
    layout->setColumnStretch(1, 1);
    layout->setRowStretch(2, 1);

    connect(m_chooseFolderButton, &QPushButton::clicked, this, &SettingsPage::chooseLogFolder);
    connect(m_saveSettingsButton, &QPushButton::clicked, this, &SettingsPage::saveSettings);
}

void SettingsPage::setLogFolder(const QString& folder)
{
    m_logFolder = folder;
    m_logFolderBox->setText(folder);
}

void SettingsPage::chooseLogFolder()
{
    if (std::optional<QString> folder = m_options.chooseFolder(this))
        setLogFolder(*folder);
    SettingsFile file(m_options.settingsPath);
    if (Status written = file.writeLogFolder(toGbk(m_logFolder)); !written) {
        showErrorBox(this, written.message());
        return;
    }
    emit logFolderSaved(m_logFolder);
}

void SettingsPage::saveSettings()
{
    const Settings current = m_options.currentSettings();
    SettingsFile file(m_options.settingsPath);
    Status written =
        file.saveConfiguration(current.filters, current.siteUrl, current.listBackground, current.listText);
    if (written)
        written = file.saveVerification(current.verification);
    if (!written)
        showErrorBox(this, written.message());
}

} // namespace quill
