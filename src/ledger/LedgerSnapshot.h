#pragma once
// What the ledger's views share: one read transaction per view, and the days of a range.

#include "ledger/LedgerViews.h"

namespace quill {

// One read transaction: every query of a view sees the same state of the file.
class Snapshot {
public:
    explicit Snapshot(SqliteDatabase& db) : m_db(db), m_status(db.exec("BEGIN")) {}
    ~Snapshot()
    {
        if (m_status.ok())
            (void)m_db.exec("COMMIT");
    }
    Snapshot(const Snapshot&) = delete;
    Snapshot& operator=(const Snapshot&) = delete;
    const Status& status() const { return m_status; }

private:
    SqliteDatabase& m_db;
    Status m_status;
};

inline int rangeFrom(const DateRange& range) { return range.from; }
inline int rangeTo(const DateRange& range) { return range.to == 0 ? 99999999 : range.to; }

} // namespace quill
