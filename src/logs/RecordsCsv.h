#pragma once
// The record list as a CSV table: its captions as the header, then every row as it stands (sort
// and row numbers included), the seventeen cells converted from GBK.

#include "logs/RecordStore.h"
#include "platform/CsvText.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// What the list shows besides the store's rows in display order.
struct ShownList {
    // The store rows (display order) the list shows when it is narrowed; nothing: all of them.
    // Row numbers count the shown rows from the top, as the list does.
    std::optional<std::vector<std::uint32_t>> rows;
    // A column after the seventeen, such as the crawler check's verdicts: its GBK caption and one
    // GBK text per record (file order); records past the end get an empty cell.
    std::optional<std::string> extraCaption;
    std::vector<std::string_view> extraTexts;
};

// The table reads `store` while it is written: the store must not change until then.
CsvTable recordsCsv(const RecordStore& store, ShownList shown = {}, CsvCells cells = CsvCells::Neutralised);

} // namespace quill
