#pragma once
// The "设置" page: shows the log folder, and handles "定位目录" (choose and save the folder),
// "保存配制" (save the other pages' boxes and colours) and "更新蜘蛛IP表" (fetch the crawler
// operators' published address lists in the background and report what changed).

#include "platform/Worker.h"
#include "settings/SettingsFile.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
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
    // Stops an update of the lists and waits for it, before the widgets go.
    ~SettingsPage() override;

    bool isUpdatingLists() const { return m_updatingLists; }

    const QString& logFolder() const { return m_logFolder; }
    // Shows `folder` as the log folder, without saving it.
    void setLogFolder(const QString& folder);

signals:
    // "定位目录" wrote the log folder to the settings file (also when the browser was cancelled).
    void logFolderSaved(const QString& folder);
    // "更新蜘蛛IP表" has ended and its report is shown.
    void listsUpdated();

private:
    void chooseLogFolder();
    void saveSettings();
    void updateLists();
    void showListsSummary();

    Options m_options;
    QString m_logFolder;
    QLineEdit* m_logFolderBox; // shows the log folder; what is typed into it is never read
    QPushButton* m_chooseFolderButton;
    QPushButton* m_saveSettingsButton;
    QPushButton* m_updateListsButton;
    QLabel* m_listsLabel;
    QPlainTextEdit* m_listsReport;
    bool m_updatingLists = false;
    std::unique_ptr<UiDispatcher> m_dispatcher;
    Worker m_listsWorker; // last: stopped before the members its results reach
};

} // namespace quill
