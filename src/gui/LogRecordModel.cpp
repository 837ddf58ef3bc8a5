#include "gui/LogRecordModel.h"

#include "logs/RecordColumns.h"
#include "logs/RowTexts.h"
#include "gui/QtGbk.h"
#include "verify/LogVerification.h"

#include <algorithm>

namespace quill {
namespace {

// The crawler check's column after the seventeen of the log.
constexpr RecordColumn kVerdictLook{"验证", 60};

const RecordColumn& columnLook(int column)
{
    return column == LogRecordModel::kVerdictColumn ? kVerdictLook : recordColumns()[static_cast<size_t>(column)];
}

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

LogAnalysis::LoadResult LogRecordModel::load(const std::string& path, const FilterSnapshot& filters, bool toFollow)
{
    beginResetModel();
    m_withdrawing = false; // the new rows are not the ones found changed
    LogAnalysis::LoadResult result = m_analysis.load(path, filters, toFollow);
    m_verdicts.clear();
    refilter();
    endResetModel();
    return result;
}

Status LogRecordModel::appendFollowed(FollowBatch batch)
{
    const RecordStore& store = m_analysis.store();
    const int earlierRows = rowCount();
    const auto added = static_cast<int>(batch.records.size());
    // While rows are sorted by the check's verdicts, the new ones (not checked yet) by theirs.
    std::vector<std::string> keys;
    const bool byVerdict = !store.order().empty() && m_analysis.lastSortColumn() == kVerdictColumn;
    if (byVerdict) {
        std::vector<Verdict> verdicts = m_verdicts;
        verdicts.resize(store.count() + batch.records.size(), Verdict::None);
        keys = verdictSortKeys(verdicts);
    }
    const bool shown = !m_onlyFakes && added > 0; // followed rows have no verdict: no fake among them
    if (shown)
        beginInsertRows({}, earlierRows, earlierRows + added - 1);
    Result<LogAnalysis::AppendedRows> appended = m_analysis.appendFollowed(std::move(batch), byVerdict ? &keys : nullptr);
    if (!m_verdicts.empty())
        m_verdicts.resize(store.count(), Verdict::None);
    if (shown)
        endInsertRows();
    if (!appended.ok()) {
        beginResetModel(); // memory ran out: nothing was added after all
        endResetModel();
        return appended.status();
    }
    if (m_onlyFakes)
        m_fakeRows = rowsWithVerdict(store, m_verdicts, Verdict::Fake); // the same records, moved in the store's order
    else if (!appended.value().placedBefore.empty())
        placeAddedRows(earlierRows, appended.value().placedBefore);
    return {};
}

void LogRecordModel::placeAddedRows(int earlierRows, const std::vector<std::uint32_t>& placedBefore)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from) {
        const auto row = static_cast<std::uint32_t>(index.row());
        std::uint32_t moved;
        if (index.row() < earlierRows) // after each added row placed before it
            moved = row + static_cast<std::uint32_t>(std::upper_bound(placedBefore.begin(), placedBefore.end(), row) -
                                                     placedBefore.begin());
        else // the j-th added row, counted in the order they now stand
            moved = placedBefore[row - static_cast<std::uint32_t>(earlierRows)] + row - static_cast<std::uint32_t>(earlierRows);
        to.append(index.sibling(static_cast<int>(moved), index.column()));
    }
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
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
        m_analysis.clickKeyedColumn(kVerdictColumn, verdictSortKeys(m_verdicts));
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
    if (!m_withdrawing || m_storeHeld)
        return; // already done, a load came first, or the store is still being read
    beginResetModel();
    m_analysis.clear();
    m_withdrawing = false;
    endResetModel();
    emit rowsWithdrawn(fromGbk(fileChangedText()));
}

void LogRecordModel::holdStore(bool held)
{
    m_storeHeld = held;
    if (!held)
        confirmRows(); // a change found meanwhile, by the view or the reader, empties the list now
}

void LogRecordModel::setVerdicts(std::vector<Verdict> verdicts)
{
    // Verdicts for the rows there are (more of them as records follow): the rows stay.
    if (verdicts.size() == m_analysis.store().count() && verdicts.size() > 0 &&
        (verdicts.size() == m_verdicts.size() || m_verdicts.empty())) {
        m_verdicts = std::move(verdicts);
        if (m_onlyFakes)
            narrowTo(rowsWithVerdict(m_analysis.store(), m_verdicts, Verdict::Fake));
        if (rowCount() > 0)
            emit dataChanged(index(0, kVerdictColumn), index(rowCount() - 1, kVerdictColumn), {Qt::DisplayRole});
        return;
    }
    beginResetModel();
    m_verdicts = std::move(verdicts);
    refilter();
    endResetModel();
}

void LogRecordModel::narrowTo(std::vector<std::uint32_t> rows)
{
    // Both lists are store rows in display order; the old ones must all be among the new.
    std::vector<std::uint32_t> placedBefore;
    size_t old = 0;
    for (std::uint32_t row : rows) {
        if (old < m_fakeRows.size() && m_fakeRows[old] == row)
            ++old;
        else
            placedBefore.push_back(static_cast<std::uint32_t>(old));
    }
    if (old != m_fakeRows.size()) {
        beginResetModel();
        m_fakeRows = std::move(rows);
        endResetModel();
        return;
    }
    if (placedBefore.empty())
        return;
    const int earlierRows = rowCount();
    beginInsertRows({}, earlierRows, earlierRows + static_cast<int>(placedBefore.size()) - 1);
    // Until they are placed, the added rows stand last.
    std::vector<std::uint32_t> interim = m_fakeRows;
    for (std::uint32_t row : rows)
        if (!std::binary_search(m_fakeRows.begin(), m_fakeRows.end(), row))
            interim.push_back(row);
    m_fakeRows = std::move(interim);
    endInsertRows();
    m_fakeRows = std::move(rows);
    placeAddedRows(earlierRows, placedBefore);
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

QString LogRecordModel::caption(int column)
{
    const std::string_view text = columnLook(column).caption;
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

int LogRecordModel::width(int column) { return columnLook(column).width; }

} // namespace quill
