#pragma once
// The updater window "软件升级": created hidden at start and shown by the "更新" page. It checks
// the maker's manifest for newer files, downloads the ticked ones and can replace the program.

#include "update/FetchToFile.h"

#include <QWidget>
#include <atomic>
#include <chrono>
#include <sys/types.h>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace quill {

class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string programFolder;   // where updates land; empty: the executable's folder
        std::string executableName;  // the running program's file there; empty: this process's
        std::string manifestUrl;     // empty: the manifest on the maker's server
        std::chrono::milliseconds replaceWait{3000}; // lets the clean-up start before the program ends
        std::chrono::milliseconds noProgressLimit = kNoProgressLimit; // a transfer silent this long fails
        pid_t programPid = 0;          // the process the clean-up waits for; 0: this one
        QWidget* mainWindow = nullptr; // closed when a replacement has started
        // Offscreen tests replace the boxes, the folder view and the end of the message loop.
        std::function<void(const QString& text)> inform;
        std::function<bool(const QString& question)> confirm;
        std::function<void(const QString& folder)> openFolder;
        std::function<void()> quit;
    };

    UpdaterWindow();
    explicit UpdaterWindow(Options options, QWidget* parent = nullptr);

protected:
    // Ends a running transfer, so that closing the window never leaves the program hanging in it.
    void closeEvent(QCloseEvent* event) override;

private:
    void checkForUpdates();
    void downloadChecked();
    void replaceProgram();
    void setStatus(const char* text);
    TransferEvents transferEvents();

    QLabel* m_fileListLabel;
    QLabel* m_fileProgressLabel;
    QLabel* m_totalProgressLabel;
    QTreeWidget* m_fileList;
    QProgressBar* m_fileProgress;
    QProgressBar* m_totalProgress;
    QPushButton* m_checkButton;
    QPushButton* m_downloadButton;
    QPushButton* m_closeButton;
    QStatusBar* m_statusBar;
    Options m_options;
    std::atomic<bool> m_closed{false};
};

} // namespace quill
