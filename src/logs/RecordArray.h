#pragma once
// The records of a store in one large region that grows without page-by-page faults.

#include "logs/LogRecord.h"

#include <algorithm>
#include <cstddef>
#include <span>

namespace quill {

class RecordArray {
public:
    RecordArray() = default;
    ~RecordArray();
    RecordArray(RecordArray&& other) noexcept;
    RecordArray& operator=(RecordArray&& other) noexcept;

    // Makes room for `count` records in all; false when memory runs out.
    bool reserve(size_t count);
    // Appends records; false when memory runs out.
    bool append(std::span<const LogRecord> records);
    // Keeps the first `count` records.
    void truncate(size_t count) { m_size = std::min(m_size, count); }

    size_t size() const { return m_size; }
    const LogRecord& operator[](size_t i) const { return m_data[i]; }
    std::span<const LogRecord> all() const { return {m_data, m_size}; }

private:
    LogRecord* m_data = nullptr;
    size_t m_size = 0;
    size_t m_capacity = 0;
};

} // namespace quill
