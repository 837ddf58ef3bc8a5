#pragma once
// The updater window "软件升级": created hidden at start and shown by the "更新" page. It checks
// the maker's signed manifest for newer files, downloads the ticked ones and can replace the
// program. Every transfer and every change of the program folder runs on a worker; the window
// only shows what the worker posts, so it repaints and closes at any moment.

#include "platform/Worker.h"
#include "update/FetchToFile.h"
#include "update/SelfReplacement.h"
#include "update/UpdateCheck.h"
#include "update/UpdateManifest.h"
#include "update/UpdateSignature.h"

#include <QWidget>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace quill {

class UiDispatcher;

class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string programFolder;   // where updates land; empty: the executable's folder
        std::string executableName;  // the running program's file there; empty: this process's
        std::string manifestUrl;     // empty: the manifest on the maker's server
        std::optional<PublicKey> publicKey; // the key manifests are signed with; none: the release key
        std::string caFile;          // certificates for https://; empty: as trustedCaFile says
        std::chrono::milliseconds replaceWait{3000}; // lets the launcher start before the program ends
        std::chrono::milliseconds noProgressLimit = kNoProgressLimit; // a transfer silent this long fails
        std::optional<std::chrono::milliseconds> overallLimit; // a whole download; none: by its size
        std::chrono::milliseconds exitWait = kExitWait; // the launcher's wait once the program exits
        pid_t programPid = 0;          // the process the launcher waits for; 0: this one
        StagingOptions staging;
        QWidget* mainWindow = nullptr; // closed when a replacement has started
        // Offscreen tests replace the boxes, the folder view and the end of the message loop.
        std::function<void(const QString& text)> inform;
        std::function<bool(const QString& question)> confirm;
        std::function<void(const QString& folder)> openFolder;
        std::function<void()> quit;
    };

    UpdaterWindow();
    explicit UpdaterWindow(Options options, QWidget* parent = nullptr);
    ~UpdaterWindow() override;

protected:
    // Ends a running transfer, so that closing the window never leaves the program waiting for it.
    void closeEvent(QCloseEvent* event) override;

private:
    void checkForUpdates();
    void showCheck(const Result<CheckResult>& result);
    void downloadChecked();
    void setItemState(std::size_t item, int state, const std::string& failure);
    void downloadsEnded();
    void replaceProgram();
    void replacementEnded(ReplaceOutcome outcome, const Status& status, const std::shared_ptr<ProgramExit>& exit);
    void finishReplacement();
    void setStatus(const char* text);
    void setButtonsEnabled(bool enabled);
    TransferEvents transferEvents(const Worker::Post& post, const std::atomic<bool>& stop);

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
    std::vector<UpdateEntry> m_entries; // of the list's rows
    bool m_busy = false;      // a check or the downloads run
    bool m_replacing = false; // the replacement runs
    bool m_packageRefused = false; // the refused package stays until the window closes
    std::shared_ptr<ProgramExit> m_programExit;
    std::unique_ptr<UiDispatcher> m_dispatcher;
    Worker m_worker; // last: stopped before anything its posts touch goes
};

} // namespace quill
