#pragma once
// Orders the records of the store by one column's field, stably, without moving any line.

#include "logs/RecordStore.h"

#include <cstdint>
#include <optional>
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

} // namespace quill
