#pragma once
// The log analysis state of one window: the record store, the field map and log format carried
// from load to load, and the sort direction shared by all columns.

#include "logs/ColumnSort.h"
#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/FollowedLog.h"
#include "logs/LogReader.h"
#include "logs/RecordStore.h"

#include <cstdint>
#include <optional>
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

    // Discards the store and loads the file at `path` with the filters as they are now. A load
    // `toFollow` reads whole lines only, so that followStart() can tell where to go on.
    LoadResult load(const std::string& path, const FilterSnapshot& filters, bool toFollow = false);

    // Where following the last load goes on; nothing when it cannot be followed (it was not
    // loaded to be followed, or it is no plain file, or an end mark ended it).
    std::optional<FollowStart> followStart() const;

    // Rows that a batch of followed records added: where the earlier rows went.
    struct AppendedRows {
        std::uint32_t firstRecord = 0;
        std::uint32_t count = 0;
        // Empty while the rows stand in file order (the new rows come last); otherwise, as
        // MergedOrder::placedBefore says, how many earlier rows stand before each new one.
        std::vector<std::uint32_t> placedBefore;
    };
    // Adds the records of a batch that follows the last load: after the others in file order,
    // or each in its sorted place while a sort holds. `sortKeys` gives the keys of every record
    // (file order, new ones included) while the rows are sorted by a column that is no field of
    // the log. Fails when memory runs out, with the store as it was.
    Result<AppendedRows> appendFollowed(FollowBatch batch, const std::vector<std::string>* sortKeys = nullptr);

    // Discards the record store, as the triggers of a load do before loading.
    void clear()
    {
        m_store.clear();
        m_readEnd = {};
    }

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
    std::string m_loadedPath;
    FilterSnapshot m_loadedFilters;
    ReadEnd m_readEnd; // of a load to be followed
    FieldMap m_fieldMap;
    LogFormat m_format = LogFormat::None;
    bool m_sortDescending = false;
    int m_sortColumn = kColRow;
};

} // namespace quill
