#pragma once
// The log analysis state of one window: the record store, the field map and log format carried
// from load to load, and the sort direction shared by all columns.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/LogReader.h"
#include "logs/RecordStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

// What the summary line says, in GBK, once the file changed under the loaded rows.
std::string fileChangedText();

// Names of the log files and archives of `folder`, in natural name order.
std::vector<std::string> listLogFiles(const std::string& folder);

class LogAnalysis {
public:
    struct LoadResult {
        Result<LogFile> outcome = LogFile::Read;
        std::uint64_t elapsedMs = 0;

        bool read() const { return outcome.ok() && outcome.value() == LogFile::Read; }
    };

    // Discards the store and loads the file at `path` with the filters as they are now.
    LoadResult load(const std::string& path, const FilterSnapshot& filters);

    // Discards the record store, as the triggers of a load do before loading.
    void clear() { m_store.clear(); }

    // Whether the rows still show the bytes that were in the file when it was loaded. Once they
    // may not (the file was cut short or rewritten under a mapped store), the store is emptied
    // and the failure carries fileChangedText(). Call it after taking texts from the store and
    // before showing them, so that a change while they were taken is caught too.
    Status confirmRows();

    // A click on the header of `column`: sorts by it, or restores file order for "序号" and for a
    // column that no kept record's map knows (the direction flag then stays as it is). Fails as
    // confirmRows() does when the file changed before or during the sort.
    Status clickColumn(int column);
    // A click on a column that is no field of the log (the crawler check's verdict): flips the
    // direction flag and orders the records by `keys`, one text per record in file order,
    // compared byte by byte like a text column; equal keys keep file order. `column` is the list's
    // column of the keys, reported by lastSortColumn().
    void clickKeyedColumn(int column, const std::vector<std::string>& keys);

    const RecordStore& store() const { return m_store; }
    const FieldMap& fieldMap() const { return m_fieldMap; }
    LogFormat logFormat() const { return m_format; }
    bool sortDescending() const { return m_sortDescending; }
    // The column of the last sort; meaningful while the store's rows are not in file order.
    int lastSortColumn() const { return m_sortColumn; }

private:
    bool anyRecordKnows(int column) const;

    std::shared_ptr<RegionCache> m_textCache = std::make_shared<RegionCache>();
    RecordStore m_store;
    FieldMap m_fieldMap;
    LogFormat m_format = LogFormat::None;
    bool m_sortDescending = false;
    int m_sortColumn = kColRow;
};

} // namespace quill
