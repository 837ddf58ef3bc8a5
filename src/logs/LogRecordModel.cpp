#include "logs/LogRecordModel.h"

#include "logs/RowTexts.h"
#include "qt/QtGbk.h"
#include "verify/LogVerification.h"

namespace quill {
namespace {

struct ColumnLook {
    const char* caption; // UTF-8
    int width;
};

const ColumnLook kColumns[kColumnCount + 1] = {
    {"序号", 30},   {"url", 150},    {"getURL", 200},  {"浏鉴器/蜘蛛", 200}, {"状态", 40},   {"子状态", 30},
    {"标记", 30},   {"访问IP", 90},  {"日期", 70},     {"时间", 60},         {"GET/post", 40}, {"服务器IP", 80},
    {"端口", 25},   {"发送", 50},    {"接收", 50},     {"用时", 50},         {"来源页", 50},   {"验证", 60},
};

} // namespace

LogRecordModel::LogRecordModel(LogAnalysis& analysis, QObject* parent)
    : QAbstractTableModel(parent), m_analysis(analysis)
{
}

int LogRecordModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return static_cast<int>(m_onlyFakes ? m_fakeRows.size() : m_analysis.store().count());
}

int LogRecordModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount + 1; }

std::uint32_t LogRecordModel::storeRow(int row) const
{
    return m_onlyFakes ? m_fakeRows[static_cast<size_t>(row)] : static_cast<std::uint32_t>(row);
}

QVariant LogRecordModel::data(const QModelIndex& index, int role) const
{
    if (role != Qt::DisplayRole || m_withdrawing || !index.isValid() || index.row() >= rowCount() ||
        index.column() > kVerdictColumn)
        return {};
    if (index.column() == kColRow)
        return QString::number(index.row()); // rows count from the top, also when only fakes show
    const std::uint32_t row = storeRow(index.row());
    QString text;
    if (index.column() == kVerdictColumn) {
        const std::uint32_t record = m_analysis.store().recordAt(row);
        text = record < m_verdicts.size() ? fromGbk(verdictText(m_verdicts[record])) : QString();
    } else {
        text = fromGbk(cellText(m_analysis.store(), row, index.column()));
    }
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
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section > kVerdictColumn)
        return {};
    return caption(section);
}

LogAnalysis::LoadResult LogRecordModel::load(const std::string& path, const FilterSnapshot& filters)
{
    beginResetModel();
    m_withdrawing = false; // the new rows are not the ones found changed
    LogAnalysis::LoadResult result = m_analysis.load(path, filters);
    m_verdicts.clear();
    refilter();
    endResetModel();
    return result;
}

void LogRecordModel::clear()
{
    beginResetModel();
    m_withdrawing = false;
    m_analysis.clear();
    m_verdicts.clear();
    refilter();
    endResetModel();
}

void LogRecordModel::clickColumn(int column)
{
    if (!confirmRows())
        return;
    beginResetModel();
    Status sorted;
    if (column == kVerdictColumn)
        m_analysis.clickKeyedColumn(verdictSortKeys(m_verdicts));
    else
        sorted = m_analysis.clickColumn(column);
    refilter();
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

void LogRecordModel::setVerdicts(std::vector<Verdict> verdicts)
{
    beginResetModel();
    m_verdicts = std::move(verdicts);
    refilter();
    endResetModel();
}

void LogRecordModel::setOnlyFakes(bool onlyFakes)
{
    beginResetModel();
    m_onlyFakes = onlyFakes;
    refilter();
    endResetModel();
}

void LogRecordModel::refilter()
{
    m_fakeRows = m_onlyFakes ? rowsWithVerdict(m_analysis.store(), m_verdicts, Verdict::Fake)
                             : std::vector<std::uint32_t>();
}

QString LogRecordModel::caption(int column) { return QString::fromUtf8(kColumns[column].caption); }

int LogRecordModel::width(int column) { return kColumns[column].width; }

} // namespace quill
