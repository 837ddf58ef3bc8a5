#include "gui/RecordListCopy.h"

#include "gui/LogRecordModel.h"
#include "gui/WidgetSetup.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMimeData>
#include <QTableView>
#include <algorithm>

namespace quill {

RecordListCopy::RecordListCopy(QTableView* view, LogRecordModel* model, const LogAnalysis& analysis,
                               std::function<ShownList()> shown, QObject* parent)
    : QObject(parent), m_view(view), m_model(model), m_analysis(analysis), m_shown(std::move(shown))
{
    const struct {
        const char* name;
        const char* caption;
        void (RecordListCopy::*copy)();
    } entries[] = {{"CopyRows", "复制行", &RecordListCopy::copyRows},
                   {"CopyCell", "复制单元格", &RecordListCopy::copyCell},
                   {"CopyClientIp", "复制访问IP", &RecordListCopy::copyClientAddresses}};
    for (const auto& entry : entries) {
        QAction* action = named(new QAction(QString::fromUtf8(entry.caption), this), entry.name);
        connect(action, &QAction::triggered, this, entry.copy);
        m_actions.append(action);
    }
    // Shown in the menu; the key itself is caught below, and only in the list.
    m_actions.front()->setShortcut(QKeySequence::Copy);
    m_actions.front()->setShortcutContext(Qt::WidgetShortcut);
    m_view->installEventFilter(this);
}

bool RecordListCopy::eventFilter(QObject* watched, QEvent* event)
{
    // The view's own Ctrl+C copies the current cell only, also with rows selected.
    if (watched == m_view && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        event->accept();
        if (event->type() == QEvent::KeyPress)
            copyRows();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

std::vector<std::uint32_t> RecordListCopy::selectedRows() const
{
    const int rows = m_model->rowCount();
    std::vector<bool> selected(static_cast<size_t>(rows), false);
    // Ranges, not indexes: a whole list selected with Ctrl+A is one range of a million rows.
    for (const QItemSelectionRange& range : m_view->selectionModel()->selection())
        for (int row = std::max(range.top(), 0); row <= std::min(range.bottom(), rows - 1); ++row)
            selected[static_cast<size_t>(row)] = true;
    std::vector<std::uint32_t> list;
    for (int row = 0; row < rows; ++row)
        if (selected[static_cast<size_t>(row)])
            list.push_back(static_cast<std::uint32_t>(row));
    return list;
}

void RecordListCopy::copyRows()
{
    const std::vector<std::uint32_t> rows = selectedRows();
    if (!rows.empty())
        toClipboard(copiedRowsText(m_analysis.store(), rows, m_shown()));
}

void RecordListCopy::copyCell()
{
    const QModelIndex current = m_view->currentIndex();
    if (current.isValid())
        toClipboard(copiedColumnText(m_analysis.store(), {static_cast<std::uint32_t>(current.row())}, current.column(),
                                     m_shown()));
}

void RecordListCopy::copyClientAddresses()
{
    const std::vector<std::uint32_t> rows = selectedRows();
    if (!rows.empty())
        toClipboard(copiedColumnText(m_analysis.store(), rows, kColClientIp, m_shown()));
}

void RecordListCopy::toClipboard(const CopiedText& text)
{
    if (!m_model->confirmRows())
        return; // the file changed under the rows: what was cut out is not what the list showed
    // As UTF-8 bytes, joined once: converted to the reader's form only when something is pasted,
    // so a million rows need not become UTF-16 first.
    QByteArray bytes(static_cast<qsizetype>(text.size()), Qt::Uninitialized);
    char* at = bytes.data();
    for (const std::string& piece : text.pieces)
        at = std::copy(piece.begin(), piece.end(), at);
    auto* data = new QMimeData;
    data->setData(QStringLiteral("text/plain;charset=utf-8"), bytes);
    QApplication::clipboard()->setMimeData(data);
}

} // namespace quill
