#pragma once
// Runs a CSV export on a worker thread so the window stays responsive; once it has run for a
// second, a progress bar and "取消" show. The table's source must not change until it ends.

#include "platform/CsvText.h"
#include "platform/OrderedChunks.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

class QProgressBar;
class QPushButton;

namespace quill {

class CsvExportRunner : public QObject {
    Q_OBJECT
public:
    // `bar` and `cancelButton` belong to the page; the runner shows and hides them.
    CsvExportRunner(QProgressBar* bar, QPushButton* cancelButton, QObject* parent = nullptr);
    // Cancels a running export and waits for it: its temporary file is removed.
    ~CsvExportRunner() override;

    // Starts writing `table` to `path`; `finished` runs on this thread with the outcome (a
    // cancelled export fails with kCancelledMessage).
    void start(CsvTable table, std::string path, std::function<void(const Status&)> finished);
    bool isRunning() const { return m_thread.joinable(); }
    void cancel() { m_cancel = true; }

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

} // namespace quill
