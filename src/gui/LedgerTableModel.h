#pragma once
// A list of the crawl ledger's page: a view of one of the core's ledger tables. It holds no rows;
// it formats only the cells the view asks for, and a header click sorts the table in the core.

#include "ledger/LedgerTables.h"

#include <QAbstractTableModel>
#include <memory>

namespace quill {

class LedgerTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LedgerTableModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    void sort(int column, Qt::SortOrder order) override;

    // Shows `table` (none: an empty list), sorted as the list was sorted and narrowed to `narrowTo`.
    void setTable(std::shared_ptr<LedgerTable> table);
    const std::shared_ptr<LedgerTable>& table() const { return m_table; }
    // Keeps the rows whose first column holds `text`.
    void narrow(const QString& text);

private:
    std::shared_ptr<LedgerTable> m_table;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    QString m_narrowedTo;
};

} // namespace quill
