#pragma once
// Orders the records of the store by one column's field, stably, without moving any line.

#include "logs/RecordStore.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class SortKind { Text, Numeric };

// The comparison kind of a record-list column: numeric for bytes sent, received and time taken.
SortKind sortKindOf(int column);

// The value of a numeric key: blanks, an optional sign, then decimal digits or hexadecimal digits
// after "$", "x" or "0x"; nothing after the digits; within 32 bits.
std::optional<std::int32_t> parseSortNumber(std::string_view key);

// The record numbers in their new display order. Each record's key is its field for `column`,
// cut through the field map it was read with ("-" when absent). Text keys compare byte by byte;
// numeric keys by value, keys that are not numbers after all numbers in file order. Records
// with equal keys keep file order.
std::vector<std::uint32_t> sortByColumn(const RecordStore& store, int column, bool descending,
                                                SortKind kind);

// A display order with records added to it.
struct MergedOrder {
    std::vector<std::uint32_t> order;
    // For each added record, in the order they now stand: how many of the earlier rows stand
    // before it (so an earlier row i now stands at i + the number of entries <= i).
    std::vector<std::uint32_t> placedBefore;
};

// `order` (the display order of the records before `firstNew`, sorted by `column`) with the
// records from `firstNew` to the store's end each put in its sorted place: the order sortByColumn
// would give, found without sorting the earlier records again.
MergedOrder mergeByColumn(const RecordStore& store, const std::vector<std::uint32_t>& order, std::uint32_t firstNew,
                          int column, bool descending, SortKind kind);

// The same for an order made by keys (one text per record in file order, compared byte by byte,
// equal keys in file order), as for a column that is no field of the log.
MergedOrder mergeByKeys(const std::vector<std::string>& keys, const std::vector<std::uint32_t>& order,
                        std::uint32_t firstNew, bool descending);

} // namespace quill
