#include "logs/LogAnalysis.h"

#include "logs/ColumnSort.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "logsource/LogFiles.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <numeric>

namespace quill {

std::string fileChangedText() { return gbk("日志文件在加载后被改动，记录已清空，请重新加载"); }

std::vector<std::string> listLogFiles(const std::string& folder)
{
    std::vector<std::string> names;
    for (DirectoryEntry& entry : findLogEntries(folder))
        names.push_back(std::move(entry.name));
    return names;
}

LogAnalysis::LoadResult LogAnalysis::load(const std::string& path, const FilterSnapshot& filters, bool toFollow)
{
    const auto start = std::chrono::steady_clock::now();
    LoadResult result;
    m_loadedPath = path;
    m_loadedFilters = filters;
    result.outcome =
        readLogFile(path, filters, m_format, m_fieldMap, m_store, m_textCache, {}, toFollow ? &m_readEnd : nullptr);
    if (!toFollow || !result.read())
        m_readEnd = {};
    result.elapsedMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    return result;
}

std::optional<FollowStart> LogAnalysis::followStart() const
{
    if (!m_readEnd.followable)
        return std::nullopt;
    return FollowStart{m_loadedPath, m_readEnd, m_format, m_fieldMap, m_store.maps(), m_loadedFilters};
}

Result<LogAnalysis::AppendedRows> LogAnalysis::appendFollowed(FollowBatch batch, const std::vector<std::string>* sortKeys)
{
    // Records of another load than this store's would name maps it does not have.
    if (!m_readEnd.followable || batch.firstNewMap != m_store.maps().size())
        return Status::failure("Followed records of another load");
    AppendedRows rows;
    rows.firstRecord = m_store.count();
    rows.count = static_cast<std::uint32_t>(batch.records.size());
    try {
        MergedOrder merged;
        const bool sorted = !m_store.order().empty();
        if (!m_store.append(batch.records, batch.text, batch.newMaps))
            return Status::failure(kOutOfMemoryText);
        if (sorted && sortKeys && sortKeys->size() == m_store.count()) {
            merged = mergeByKeys(*sortKeys, m_store.order(), rows.firstRecord, m_sortDescending);
        } else if (sorted && sortKeys) { // keys that do not fit: the new rows go last
            merged.order = m_store.order();
            for (std::uint32_t r = rows.firstRecord; r < m_store.count(); ++r) {
                merged.order.push_back(r);
                merged.placedBefore.push_back(rows.firstRecord);
            }
        }
        else if (sorted && !sortKeys)
            merged = mergeByColumn(m_store, m_store.order(), rows.firstRecord, m_sortColumn, m_sortDescending,
                                   sortKindOf(m_sortColumn));
        if (sorted) {
            m_store.setOrder(std::move(merged.order));
            rows.placedBefore = std::move(merged.placedBefore);
        }
    } catch (const std::bad_alloc&) {
        m_store.truncate(rows.firstRecord);
        return Status::failure(kOutOfMemoryText);
    }
    m_format = batch.format;
    m_fieldMap = batch.map;
    m_readEnd.offset = batch.offset;
    return rows;
}

bool LogAnalysis::anyRecordKnows(int column) const
{
    std::vector<bool> mapKnows;
    for (const FieldMap& map : m_store.maps())
        mapKnows.push_back(map[column] != 0);
    for (const LogRecord& record : m_store.records())
        if (mapKnows[record.mapId()])
            return true;
    return false;
}

Status LogAnalysis::confirmRows()
{
    if (m_store.showsLoadedBytes())
        return {};
    clear();
    return Status::failure(fileChangedText());
}

Status LogAnalysis::clickColumn(int column)
{
    if (Status rows = confirmRows(); !rows)
        return rows;
    if (column <= kColRow || column >= kColumnCount || !anyRecordKnows(column)) {
        m_store.restoreFileOrder();
        return {};
    }
    m_sortDescending = !m_sortDescending;
    m_sortColumn = column;
    m_store.setOrder(sortByColumn(m_store, column, m_sortDescending, sortKindOf(column)));
    return confirmRows();
}

void LogAnalysis::clickKeyedColumn(int column, const std::vector<std::string>& keys)
{
    if (keys.size() != m_store.count())
        return;
    m_sortDescending = !m_sortDescending;
    m_sortColumn = column;
    std::vector<std::uint32_t> order(keys.size());
    std::iota(order.begin(), order.end(), 0u);
    const bool descending = m_sortDescending;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return descending ? keys[b] < keys[a] : keys[a] < keys[b];
    });
    m_store.setOrder(std::move(order));
}

} // namespace quill
