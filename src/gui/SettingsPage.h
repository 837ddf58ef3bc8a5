#pragma once
// The "设置" page: shows the log folder, and handles "定位目录" (choose and save the folder) and
// "保存配制" (save the other pages' boxes and colours).

#include "settings/SettingsFile.h"

#include <QWidget>
#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;

namespace quill {

class SettingsPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string settingsPath;
        // The folder browser; nothing when the user cancels.
        std::function<std::optional<QString>(QWidget* parent)> chooseFolder;
        // The boxes, site address and colours as the other pages show them now.
        std::function<Settings()> currentSettings;
    };

    explicit SettingsPage(Options options, QWidget* parent = nullptr);

    const QString& logFolder() const { return m_logFolder; }
    // Shows `folder` as the log folder, without saving it.
    void setLogFolder(const QString& folder);

signals:
    // "定位目录" wrote the log folder to the settings file (also when the browser was cancelled).
    void logFolderSaved(const QString& folder);

private:
    void chooseLogFolder();
    void saveSettings();

    Options m_options;
    QString m_logFolder;
    QLineEdit* m_logFolderBox; // shows the log folder; what is typed into it is never read
    QPushButton* m_chooseFolderButton;
    QPushButton* m_saveSettingsButton;
};

} // namespace quill
