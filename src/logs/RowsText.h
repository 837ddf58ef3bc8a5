#pragma once
// The text of a run of list rows, copied from the log file with read calls when their lines lie
// close together in its mapping (rows in file order): on a virtual machine the first touch of a
// mapping's pages costs several times the kernel's copy. Rows elsewhere keep their own text.

#include "logs/RecordStore.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

namespace quill {

class RowsText {
public:
    // Takes the text of the store rows storeRowOf(i) for i in [begin, end).
    template <typename StoreRowOf>
    void take(const RecordStore& store, size_t begin, size_t end, StoreRowOf storeRowOf)
    {
        m_size = 0;
        const MappedFile* mapping = store.mapping();
        if (!mapping)
            return;
        const auto base = reinterpret_cast<std::uintptr_t>(mapping->data());
        const std::uintptr_t limit = base + store.mappedBytes();
        std::uintptr_t low = limit;
        std::uintptr_t high = base;
        size_t lineBytes = 0;
        for (size_t i = begin; i < end; ++i) {
            const LogRecord& record = store.record(store.recordAt(static_cast<std::uint32_t>(storeRowOf(i))));
            const auto text = reinterpret_cast<std::uintptr_t>(record.text);
            if (text < base || text + record.length > limit)
                continue;
            low = std::min(low, text);
            high = std::max(high, text + record.length);
            lineBytes += record.length;
        }
        copy(*mapping, low, high, lineBytes);
    }

    void take(const RecordStore& store, size_t begin, size_t end)
    {
        take(store, begin, end, [](size_t row) { return row; });
    }

    // The line of `record`, one of the rows taken.
    std::string_view line(const LogRecord& record) const
    {
        const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(record.text) - m_from;
        if (offset < m_size && record.length <= m_size - offset)
            return {m_copy.get() + offset, record.length};
        return record.line();
    }

private:
    // Copies the mapped bytes [low, high) when the rows' lines fill enough of them.
    void copy(const MappedFile& mapping, std::uintptr_t low, std::uintptr_t high, size_t lineBytes);

    std::uintptr_t m_from = 0; // the mapped address of the copy's first byte
    size_t m_size = 0;
    std::unique_ptr<char[]> m_copy;
    size_t m_capacity = 0;
};

} // namespace quill
