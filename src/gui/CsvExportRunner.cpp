#include "gui/CsvExportRunner.h"

#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/WidgetSetup.h"

#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>

namespace quill {
namespace {

constexpr int kBarSteps = 1000;

int barValue(size_t rowsDone, size_t rows) { return rows == 0 ? 0 : static_cast<int>(rowsDone * kBarSteps / rows); }

} // namespace

CsvExportRunner::CsvExportRunner(QWidget* page, Options options)
    : QObject(page), m_options(options), m_bar(named(new QProgressBar(page), "exportProgress")),
      m_cancelButton(makeButton(page, "cancelExport", "取消")), m_ui(std::make_unique<QtUiDispatcher>(this)),
      m_worker(m_ui.get())
{
    m_bar->setMaximumWidth(120);
    m_bar->setRange(0, kBarSteps);
    m_bar->hide();
    m_cancelButton->hide();
    m_quiet.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, [this] {
        m_bar->show(); // shorter exports show no progress at all
        m_cancelButton->show();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, &CsvExportRunner::cancel);
}

CsvExportRunner::~CsvExportRunner()
{
    m_cancel = true;
    m_worker.stop();
}

void CsvExportRunner::start(CsvTable table, std::string path, std::function<void(const Status&)> finished)
{
    if (m_running)
        return;
    m_running = true;
    m_cancel = false;
    m_rows = table.rows;
    m_finished = std::move(finished);
    m_bar->setValue(0);
    m_quiet.start(m_options.quiet);
    m_worker.start([this, table = std::move(table), path = std::move(path)](const std::atomic<bool>&,
                                                                             const Worker::Post& post) {
        int shown = 0;
        CsvRun run;
        run.cancel = &m_cancel;
        run.progress = [&](size_t rowsDone) {
            // One step of the bar at a time, so a long export does not flood the window.
            if (const int value = barValue(rowsDone, table.rows); value != shown) {
                shown = value;
                post([this, value] { m_bar->setValue(value); });
            }
        };
        Status outcome = exportCsvFile(table, path, run);
        post([this, outcome = std::move(outcome)] { finish(outcome); });
    });
}

void CsvExportRunner::finish(const Status& outcome)
{
    m_worker.stop(); // the job has ended: this was its last word
    m_running = false;
    m_quiet.stop();
    m_bar->hide();
    m_cancelButton->hide();
    if (m_finished)
        m_finished(outcome);
}

QString csvWrittenText(size_t rows, const std::string& path)
{
    return QStringLiteral("已导出 %1 行到 %2").arg(rows).arg(fromPath(path));
}

QString chooseCsvFile(QWidget* parent, const QString& folder)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("导出CSV"), folder, QStringLiteral("CSV (*.csv)"));
}

} // namespace quill
