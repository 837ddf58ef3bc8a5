// The log page's "跟踪": the loaded file followed as it grows, its new rows, and what the page
// does when the file changes under them or the folder gets the next day's log.

#include "gui/LogPage.h"

#include "gui/ErrorBoxDialog.h"
#include "gui/LogRecordModel.h"
#include "gui/QtGbk.h"
#include "logs/RowTexts.h"
#include "logsource/LogFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QTableView>

namespace quill {

void LogPage::setFollowing(bool on) { m_followBox->setChecked(on); }

bool LogPage::following() const { return m_followBox->isChecked(); }

void LogPage::followBoxToggled(bool on)
{
    if (!on) {
        m_follower.reset();
        return;
    }
    // A list loaded whole holds a line still being written; the load to be followed leaves it.
    if (m_loaded)
        reload();
}

void LogPage::startFollowing()
{
    std::optional<FollowStart> start = m_analysis.followStart();
    if (!start)
        return; // an archive, a pipe or a log ended by its end mark does not grow
    m_followedPath = start->path;
    m_followedOffset = start->end.offset;
    m_follower = std::make_unique<LogFollower>(
        std::move(*start), *m_dispatcher,
        LogFollower::Handlers{[this](FollowBatch batch) { takeFollowed(std::move(batch)); },
                              [this](std::vector<std::string> names) { logFilesListed(std::move(names)); },
                              [this](FollowEnd end, const Status& read) { followEnded(end, read); }});
}

void LogPage::takeFollowed(FollowBatch batch)
{
    if (isExporting()) {
        m_heldBatches.push_back(std::move(batch)); // the export reads the store meanwhile
        return;
    }
    // The rows in sight stay in sight; a list scrolled to its end in file order stays there.
    QScrollBar* bar = m_recordView->verticalScrollBar();
    const bool atEnd = bar->maximum() > 0 && bar->value() == bar->maximum() && m_analysis.store().order().empty();
    const QPersistentModelIndex top = m_model->index(m_recordView->rowAt(0), 0);
    const int topBefore = top.row();
    const bool added = !batch.records.empty();
    const bool grew = batch.offset > m_followedOffset; // lines the filters hid count in the ledger too
    m_followedOffset = batch.offset;
    if (Status appended = m_model->appendFollowed(std::move(batch)); !appended) {
        m_follower.reset();
        m_followNote = fromGbk(followEndedText(FollowEnd::Failed, appended));
        showRecordCount();
        showErrorBox(this, appended.message());
        return;
    }
    m_recordView->doItemsLayout(); // the scroll bar's range takes the new rows in
    if (atEnd) {
        m_recordView->scrollToBottom();
    } else if (top.isValid() && top.row() != topBefore) {
        const bool perItem = m_recordView->verticalScrollMode() == QAbstractItemView::ScrollPerItem;
        const int step = perItem ? 1 : m_recordView->verticalHeader()->defaultSectionSize();
        bar->setValue(bar->value() + (top.row() - topBefore) * step);
    }
    showRecordCount();
    if (added)
        verifyFollowed();
    if (grew)
        emit followedLogGrew(m_followedPath);
}

void LogPage::takeHeldBatches()
{
    std::vector<FollowBatch> held = std::move(m_heldBatches);
    m_heldBatches.clear();
    for (FollowBatch& batch : held)
        takeFollowed(std::move(batch));
}

void LogPage::followEnded(FollowEnd end, const Status& read)
{
    m_follower.reset(); // its worker has ended: this was its last word
    const bool changed = end == FollowEnd::CutShort || end == FollowEnd::Rewritten || end == FollowEnd::Replaced;
    if (changed && !isExporting()) {
        reload(); // once; the reload follows the file anew
        if (!m_loaded)
            return; // its summary says why not
        m_followNote = fromGbk(followReloadedText(end));
    } else {
        m_followNote = fromGbk(followEndedText(end, read));
    }
    showRecordCount();
}

void LogPage::rowsWithdrawn(const QString& text)
{
    m_follower.reset(); // the store it adds to is gone
    m_heldBatches.clear();
    if (!following() || !m_loaded || isExporting()) {
        showSummary(text);
        return;
    }
    reload();
    if (m_loaded) {
        m_followNote = fromGbk(followReloadedText(FollowEnd::Rewritten));
        showRecordCount();
    }
}

void LogPage::logFilesListed(std::vector<std::string> names)
{
    std::vector<std::string> before;
    for (int i = 0; i < m_logFileBox->count(); ++i)
        before.push_back(toPath(m_logFileBox->itemText(i)));
    const QString current = m_logFileBox->currentText();
    m_logFileBox->clear();
    for (const std::string& name : names)
        m_logFileBox->addItem(fromPath(name));
    m_logFileBox->setCurrentIndex(m_logFileBox->findText(current));
    m_logFileBox->setEditText(current);
    // IIS starts the next day's file at midnight: the list goes on with it.
    const std::string next = newerLogFile(before, names, toPath(current));
    if (!following() || next.empty() || isExporting())
        return;
    m_logFileBox->setCurrentIndex(m_logFileBox->findText(fromPath(next)));
    reload();
    if (m_loaded) {
        m_followNote = fromGbk(followSwitchedText()) + fromPath(next);
        showRecordCount();
    }
}

void LogPage::showRecordCount()
{
    const std::uint64_t total = m_analysis.store().count();
    // With "只看伪装" on, the count is of the rows in the list.
    QString text = fromGbk(m_model->narrowedRows()
                               ? onlyFakesSummaryLine(m_loadMs, static_cast<std::uint64_t>(m_model->rowCount()), total)
                               : summaryLine(m_loadMs, total));
    if (!m_followNote.isEmpty())
        text += QStringLiteral("   ") + m_followNote;
    m_summaryLabel->setText(text);
}

void LogPage::showShownCount()
{
    if (m_loaded)
        showRecordCount();
}

void LogPage::verifyFollowed()
{
    if (!m_verifyBox->isChecked())
        return;
    addStoreRequests(m_verifiedRequests, m_analysis.store());
    if (m_verification)
        return; // when it ends, the check of what came meanwhile starts
    if (m_requestsAsked < m_verifiedRequests.requests.size())
        startCheckOf(m_requestsAsked);
    else // the new rows' addresses were checked before
        m_model->setVerdicts(recordVerdicts(m_verifiedRequests, m_verdictsSoFar));
}

} // namespace quill
