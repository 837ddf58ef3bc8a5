// The ledger page's "生成报告": the chosen range of days written as one HTML page to share.

#include "gui/LedgerPage.h"

#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "report/ReportHtml.h"

#include <QLabel>
#include <QPushButton>

namespace quill {

void LedgerPage::makeReport()
{
    if (m_reporting)
        return;
    const QString path = m_options.chooseReportPath(this, m_options.logFolder());
    if (path.isEmpty())
        return;
    m_reporting = true;
    updateBusy();
    m_message->setText(QString::fromUtf8("正在生成报告…"));
    m_reportWorker.start([this, ledger = m_ledgerPath, range = m_range, path, target = toPath(path)](
                             const std::atomic<bool>&, const Worker::Post& post) {
        Status outcome;
        Result<std::unique_ptr<LedgerViews>> views = LedgerViews::open(ledger, 2000);
        if (!views.ok()) {
            outcome = views.status();
        } else {
            const Result<CrawlReport> report = buildCrawlReport(*views.value(), range);
            outcome = report.ok() ? saveReport(target, reportHtml(report.value())) : report.status();
        }
        post([this, outcome, path] {
            m_reporting = false;
            updateBusy();
            if (!outcome.ok()) {
                m_message->setText(fromGbk(outcome.message()));
                showErrorBox(this, outcome.message());
                return;
            }
            m_message->setText(QString::fromUtf8("报告已写入 ") + path);
        });
    });
}

} // namespace quill
