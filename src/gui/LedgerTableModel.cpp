#include "gui/LedgerTableModel.h"

#include "gui/QtGbk.h"

namespace quill {

LedgerTableModel::LedgerTableModel(QObject* parent) : QAbstractTableModel(parent) {}

int LedgerTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->rowCount());
}

int LedgerTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() || !m_table ? 0 : static_cast<int>(m_table->columnCount());
}

QVariant LedgerTableModel::data(const QModelIndex& index, int role) const
{
    if (!m_table || !index.isValid() || index.row() >= rowCount() || index.column() >= columnCount())
        return {};
    const auto column = static_cast<size_t>(index.column());
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(m_table->isNumber(column) ? Qt::AlignRight | Qt::AlignVCenter
                                                                           : Qt::AlignLeft | Qt::AlignVCenter));
    if (role != Qt::DisplayRole)
        return {};
    return fromGbk(m_table->cell(static_cast<size_t>(index.row()), column));
}

QVariant LedgerTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || !m_table || section < 0 || section >= columnCount())
        return {};
    return fromGbk(m_table->caption(static_cast<size_t>(section)));
}

void LedgerTableModel::sort(int column, Qt::SortOrder order)
{
    m_sortColumn = column;
    m_sortOrder = order;
    if (!m_table || column < 0 || column >= columnCount())
        return;
    beginResetModel();
    m_table->sortBy(static_cast<size_t>(column), order == Qt::DescendingOrder);
    endResetModel();
}

void LedgerTableModel::setTable(std::shared_ptr<LedgerTable> table)
{
    beginResetModel();
    m_table = std::move(table);
    if (m_table) {
        if (m_sortColumn >= 0 && m_sortColumn < static_cast<int>(m_table->columnCount()))
            m_table->sortBy(static_cast<size_t>(m_sortColumn), m_sortOrder == Qt::DescendingOrder);
        m_table->narrow(toGbk(m_narrowedTo));
    }
    endResetModel();
}

void LedgerTableModel::narrow(const QString& text)
{
    m_narrowedTo = text;
    if (!m_table)
        return;
    beginResetModel();
    m_table->narrow(toGbk(text));
    endResetModel();
}

} // namespace quill
