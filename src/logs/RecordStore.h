#pragma once
// The kept records of the last load: their lines, crawler rows, field maps and display order.

#include "logs/FieldMap.h"
#include "logs/RecordArray.h"
#include "logs/TextArena.h"
#include "platform/MappedFile.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class RecordStore {
public:
    std::uint32_t count() const { return static_cast<std::uint32_t>(m_records.size()); }
    const LogRecord& record(std::uint32_t r) const { return m_records[r]; }
    std::span<const LogRecord> records() const { return m_records.all(); }
    const FieldMap& mapOf(const LogRecord& record) const { return m_maps[record.mapId()]; }
    const std::vector<FieldMap>& maps() const { return m_maps; }

    // The agent text: the crawler's display name, else the line's user-agent field.
    std::string_view agent(const LogRecord& record) const;

    // Record number shown in list row `row`.
    std::uint32_t recordAt(std::uint32_t row) const { return m_order.empty() ? row : m_order[row]; }
    // The record numbers row by row after a sort; empty while the rows stand in file order.
    const std::vector<std::uint32_t>& order() const { return m_order; }
    void setOrder(std::vector<std::uint32_t> order) { m_order = std::move(order); }
    void restoreFileOrder() { std::vector<std::uint32_t>().swap(m_order); }

    // False once the file whose mapping holds the records' text may no longer hold the bytes
    // they were read from (cut short or rewritten since). Records copied out of a file read as a
    // stream always stay true.
    bool showsLoadedBytes() const { return !m_mapping || m_mapping->keepsBytes(m_mappedBytes); }
    // The mapping whose first `mappedBytes()` hold the text of records read from a file; none
    // when every record's text lies in an arena.
    const MappedFile* mapping() const { return m_mapping.get(); }
    size_t mappedBytes() const { return m_mappedBytes; }

    // Adds records read after the load (file order goes on), whose text `text` holds, with the
    // field maps first met among them; false when memory runs out, with the store as it was.
    bool append(std::span<const LogRecord> records, const std::shared_ptr<TextArena>& text,
                const std::vector<FieldMap>& newMaps);

    // Keeps the first `count` records (a failed append is undone so).
    void truncate(std::uint32_t count) { m_records.truncate(count); }

    void clear();
    // Takes over the records of a finished load, in file order, with the arenas or the file
    // mapping that hold their text; the records lie within the mapping's first `mappedBytes`.
    void assign(RecordArray records, std::vector<std::unique_ptr<TextArena>> arenas,
                std::unique_ptr<MappedFile> mapping, size_t mappedBytes, std::vector<FieldMap> maps);

private:
    RecordArray m_records;
    std::vector<std::unique_ptr<TextArena>> m_arenas;
    std::vector<std::shared_ptr<TextArena>> m_appendedText; // shared with the follower still writing to it
    std::unique_ptr<MappedFile> m_mapping;
    size_t m_mappedBytes = 0;
    std::vector<FieldMap> m_maps;
    std::vector<std::uint32_t> m_order;
};

} // namespace quill
