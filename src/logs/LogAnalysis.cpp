#include "logs/LogAnalysis.h"

#include "logs/ColumnSort.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "logsource/LogFiles.h"

#include <algorithm>
#include <chrono>
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

LogAnalysis::LoadResult LogAnalysis::load(const std::string& path, const FilterSnapshot& filters)
{
    const auto start = std::chrono::steady_clock::now();
    LoadResult result;
    result.outcome = readLogFile(path, filters, m_format, m_fieldMap, m_store, m_textCache);
    result.elapsedMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    return result;
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
    m_store.clear();
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
