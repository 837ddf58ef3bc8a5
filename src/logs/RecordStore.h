#pragma once
// The kept records of the last load: their lines, crawler rows, field maps and display order.

#include "logs/FieldMap.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// One kept data line. The text lives in a block of the store; the record remembers the crawler
// table row that named it and which of the store's field maps was in effect when it was read.
struct LogRecord {
    const char* text = nullptr;
    std::uint32_t length = 0;
    std::uint32_t mapAndCrawler = 0; // map id << 8 | crawler row

    std::string_view line() const { return {text, length}; }
    std::uint32_t mapId() const { return mapAndCrawler >> 8; }
    int crawlerRow() const { return static_cast<int>(mapAndCrawler & 0xFF); }
};

struct FreeDeleter {
    void operator()(char* p) const { std::free(p); }
};
using TextBlock = std::unique_ptr<char, FreeDeleter>;

class RecordStore {
public:
    std::uint32_t count() const { return static_cast<std::uint32_t>(m_records.size()); }
    const LogRecord& record(std::uint32_t r) const { return m_records[r]; }
    const std::vector<LogRecord>& records() const { return m_records; }
    const FieldMap& mapOf(const LogRecord& record) const { return m_maps[record.mapId()]; }
    const std::vector<FieldMap>& maps() const { return m_maps; }

    // The agent text: the crawler's display name, else the line's user-agent field.
    std::string_view agent(const LogRecord& record) const;

    // Record number shown in list row `row`.
    const std::vector<std::uint32_t>& order() const { return m_order; }
    void setOrder(std::vector<std::uint32_t> order) { m_order = std::move(order); }
    void restoreFileOrder();

    void clear();
    // Takes over the records and text blocks of a finished load, in file order.
    void assign(std::vector<LogRecord> records, std::vector<TextBlock> blocks,
                std::vector<FieldMap> maps);

private:
    std::vector<LogRecord> m_records;
    std::vector<TextBlock> m_blocks;
    std::vector<FieldMap> m_maps;
    std::vector<std::uint32_t> m_order;
};

} // namespace quill
