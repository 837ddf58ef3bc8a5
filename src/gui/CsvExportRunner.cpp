#include "gui/CsvExportRunner.h"

#include "gui/QtGbk.h"

#include "gui/WidgetSetup.h"

#include <QFileDialog>
#include <QProgressBar>
#include <QPushButton>

namespace quill {
namespace {

constexpr int kPollMs = 50;

} // namespace

CsvExportRunner::CsvExportRunner(QWidget* page)
    : QObject(page), m_bar(named(new QProgressBar(page), "exportProgress")),
      m_cancelButton(makeButton(page, "cancelExport", "取消"))
{
    m_bar->setMaximumWidth(120);
    m_bar->hide();
    m_cancelButton->hide();
    m_poll.setInterval(kPollMs);
    connect(&m_poll, &QTimer::timeout, this, &CsvExportRunner::poll);
    connect(m_cancelButton, &QPushButton::clicked, this, &CsvExportRunner::cancel);
}

CsvExportRunner::~CsvExportRunner()
{
    m_cancel = true;
    if (m_thread.joinable())
        m_thread.join();
}

void CsvExportRunner::start(CsvTable table, std::string path, std::function<void(const Status&)> finished)
{
    if (isRunning())
        return;
    m_cancel = false;
    m_done = false;
    m_rowsDone = 0;
    m_rows = table.rows;
    m_finished = std::move(finished);
    m_clock.start();
    m_thread = std::thread([this, table = std::move(table), path = std::move(path)] {
        m_outcome = exportCsvFile(table, path, {&m_cancel, &m_rowsDone});
        m_done = true;
    });
    m_poll.start();
}

void CsvExportRunner::poll()
{
    if (m_done) {
        m_poll.stop();
        m_thread.join();
        m_bar->hide();
        m_cancelButton->hide();
        if (m_finished)
            m_finished(m_outcome);
        return;
    }
    if (m_clock.elapsed() < quietMs) // shorter exports show no progress at all
        return;
    m_bar->setRange(0, 1000);
    m_bar->setValue(m_rows == 0 ? 0 : static_cast<int>(m_rowsDone * 1000 / m_rows));
    m_bar->show();
    m_cancelButton->show();
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
