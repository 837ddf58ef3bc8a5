#pragma once
// Copying from the record list: Ctrl+C and the menu's 复制行, 复制单元格 and 复制访问IP put the
// texts of the selected rows on the clipboard. The core makes the texts; this hands them over.

#include "logs/LogAnalysis.h"
#include "logs/RecordsCsv.h"
#include "logs/RowsCopy.h"

#include <QList>
#include <QObject>
#include <functional>
#include <string>
#include <vector>

class QAction;
class QTableView;

namespace quill {

class LogRecordModel;

class RecordListCopy : public QObject {
    Q_OBJECT
public:
    // `shown` tells what the list shows besides the store's rows (narrowed rows, the verdicts).
    RecordListCopy(QTableView* view, LogRecordModel* model, const LogAnalysis& analysis,
                   std::function<ShownList()> shown, QObject* parent);

    // 复制行, 复制单元格 and 复制访问IP, for the list's context menu.
    QList<QAction*> actions() const { return m_actions; }

    // The selected rows with every shown column (captions first when several).
    void copyRows();
    // The current cell.
    void copyCell();
    // The visitors' addresses of the selected rows, one per line.
    void copyClientAddresses();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The selected list rows, top to bottom.
    std::vector<std::uint32_t> selectedRows() const;
    // Puts `text` on the clipboard unless the rows' file changed while it was cut out.
    void toClipboard(const CopiedText& text);

    QTableView* m_view;
    LogRecordModel* m_model;
    const LogAnalysis& m_analysis;
    std::function<ShownList()> m_shown;
    QList<QAction*> m_actions;
};

} // namespace quill
