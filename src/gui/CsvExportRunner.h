#pragma once
// Runs a CSV export on a worker so the window stays responsive; once it has run for a while, its
// progress bar and "取消" show. The table's source must not change until it ends.

#include "platform/CsvText.h"
#include "platform/OrderedChunks.h"
#include "platform/Worker.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class QProgressBar;
class QPushButton;
class QWidget;

namespace quill {

class CsvExportRunner : public QObject {
    Q_OBJECT
public:
    struct Options {
        std::chrono::milliseconds quiet{1000}; // how long an export runs before its progress shows
    };

    // Makes the progress bar ("exportProgress") and the cancel button ("cancelExport") on `page`,
    // hidden until an export has run for a while; the page lays them out.
    CsvExportRunner(QWidget* page, Options options);
    // Cancels a running export and waits for it: its temporary file is removed.
    ~CsvExportRunner() override;

    // Starts writing `table` to `path`; `finished` runs on this thread with the outcome (a
    // cancelled export fails with kCancelledMessage).
    void start(CsvTable table, std::string path, std::function<void(const Status&)> finished);
    bool isRunning() const { return m_running; }
    void cancel() { m_cancel = true; }

    QProgressBar* progressBar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancelButton; }

private:
    void finish(const Status& outcome);

    Options m_options;
    QProgressBar* m_bar;
    QPushButton* m_cancelButton;
    QTimer m_quiet;
    std::atomic<bool> m_cancel{false};
    bool m_running = false;
    size_t m_rows = 0;
    std::unique_ptr<UiDispatcher> m_ui;
    std::function<void(const Status&)> m_finished;
    Worker m_worker; // last: stopped before the members its posts use go
};

// What a page says once an export has written `rows` rows to `path`.
QString csvWrittenText(size_t rows, const std::string& path);

// The save dialog of "导出CSV", opening in `folder`; empty when the user cancels.
QString chooseCsvFile(QWidget* parent, const QString& folder);
// What a page asks for the file to export to; offscreen tests answer in place of the dialog.
using ChooseCsvPath = std::function<QString(QWidget* parent, const QString& folder)>;

} // namespace quill
