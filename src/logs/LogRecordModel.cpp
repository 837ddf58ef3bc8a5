#include "logs/LogRecordModel.h"

#include "logs/RowTexts.h"
#include "qt/QtGbk.h"

namespace quill {
namespace {

struct ColumnLook {
    const char* caption; // UTF-8
    int width;
};

const ColumnLook kColumns[kColumnCount] = {
    {"序号", 30},   {"url", 150},    {"getURL", 200},  {"浏鉴器/蜘蛛", 200}, {"状态", 40},   {"子状态", 30},
    {"标记", 30},   {"访问IP", 90},  {"日期", 70},     {"时间", 60},         {"GET/post", 40}, {"服务器IP", 80},
    {"端口", 25},   {"发送", 50},    {"接收", 50},     {"用时", 50},         {"来源页", 50},
};

} // namespace

LogRecordModel::LogRecordModel(LogAnalysis& analysis, QObject* parent)
    : QAbstractTableModel(parent), m_analysis(analysis)
{
}

int LogRecordModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_analysis.store().count());
}

int LogRecordModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant LogRecordModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || m_withdrawing || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= kColumnCount)
        return {};
    QString text = fromGbk(cellText(m_analysis.store(), static_cast<std::uint32_t>(index.row()), index.column()));
    // Checked after the text was taken, so a change while it was cut out is caught too. The view
    // is painting: the rows go once it is done.
    if (!m_analysis.store().showsLoadedBytes()) {
        m_withdrawing = true;
        auto* self = const_cast<LogRecordModel*>(this);
        QMetaObject::invokeMethod(self, [self] { self->withdrawRows(); }, Qt::QueuedConnection);
        return {};
    }
    return text;
}

QVariant LogRecordModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= kColumnCount)
        return {};
    return caption(section);
}

LogAnalysis::LoadResult LogRecordModel::load(const std::string& path, const FilterSnapshot& filters)
{
    beginResetModel();
    m_withdrawing = false; // the new rows are not the ones found changed
    LogAnalysis::LoadResult result = m_analysis.load(path, filters);
    endResetModel();
    return result;
}

void LogRecordModel::clear()
{
    beginResetModel();
    m_withdrawing = false;
    m_analysis.clear();
    endResetModel();
}

void LogRecordModel::clickColumn(int column)
{
    if (!confirmRows())
        return;
    beginResetModel();
    const Status sorted = m_analysis.clickColumn(column);
    endResetModel();
    if (!sorted)
        emit rowsWithdrawn(fromGbk(sorted.message()));
}

bool LogRecordModel::confirmRows()
{
    if (!m_withdrawing && m_analysis.store().showsLoadedBytes())
        return true;
    m_withdrawing = true;
    withdrawRows();
    return false;
}

void LogRecordModel::withdrawRows()
{
    if (!m_withdrawing)
        return; // already done, or a load came first
    beginResetModel();
    m_analysis.clear();
    m_withdrawing = false;
    endResetModel();
    emit rowsWithdrawn(fromGbk(fileChangedText()));
}

QString LogRecordModel::caption(int column) { return QString::fromUtf8(kColumns[column].caption); }

int LogRecordModel::width(int column) { return kColumns[column].width; }

} // namespace quill
