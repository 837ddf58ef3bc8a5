#pragma once
// Runs a CSV export on a worker thread so the window stays responsive; once it has run for a
// second, its progress bar and "取消" show. The table's source must not change until it ends.

#include "platform/CsvText.h"
#include "platform/OrderedChunks.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

class QProgressBar;
class QPushButton;
class QWidget;

namespace quill {

class CsvExportRunner : public QObject {
    Q_OBJECT
public:
    // Makes the progress bar ("exportProgress") and the cancel button ("cancelExport") on `page`,
    // hidden until an export has run for a while; the page lays them out.
    explicit CsvExportRunner(QWidget* page);
    // Cancels a running export and waits for it: its temporary file is removed.
    ~CsvExportRunner() override;

    // Starts writing `table` to `path`; `finished` runs on this thread with the outcome (a
    // cancelled export fails with kCancelledMessage).
    void start(CsvTable table, std::string path, std::function<void(const Status&)> finished);
    bool isRunning() const { return m_thread.joinable(); }
    void cancel() { m_cancel = true; }

    QProgressBar* progressBar() const { return m_bar; }
    QPushButton* cancelButton() const { return m_cancelButton; }

    // How long an export runs before its progress shows.
    int quietMs = 1000;

private:
    void poll();

    QProgressBar* m_bar;
    QPushButton* m_cancelButton;
    QTimer m_poll;
    QElapsedTimer m_clock;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    std::atomic<size_t> m_rowsDone{0};
    size_t m_rows = 0;
    Status m_outcome;
    std::function<void(const Status&)> m_finished;
    std::thread m_thread;
};

// What a page says once an export has written `rows` rows to `path`.
QString csvWrittenText(size_t rows, const std::string& path);

// The save dialog of "导出CSV", opening in `folder`; empty when the user cancels.
QString chooseCsvFile(QWidget* parent, const QString& folder);

} // namespace quill
