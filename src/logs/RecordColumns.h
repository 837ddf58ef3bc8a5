#pragma once
// The seventeen columns of the record list: captions and described widths, and the texts of a
// row cut from its line in one pass (what printing and export of every row use).

#include "logs/FieldMap.h"
#include "logs/RecordStore.h"
#include "logs/RowsText.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace quill {

struct RecordColumn {
    std::string_view caption; // UTF-8
    int width;                // pixels at the 9-point font the list was described with
};

const std::array<RecordColumn, kColumnCount>& recordColumns();

// The cell texts of one list row, as cellText gives them; the views point into the store and
// into `number` (the row number's digits).
struct RowCells {
    std::array<std::string_view, kColumnCount> texts;
    char number[16];
    // The record's line holds no byte above 0x7F or below 0x20, no backslash and no double quote,
    // so its field cells print and go into JSON as they are; without a comma either, they also
    // go into CSV as they are.
    bool plainFields = false;
    bool commas = true;
    // The crawler table row that named the agent, 0 when the agent cell is the line's own field.
    int crawlerRow = 0;

    // Whether the cell of `column` prints, or exports to CSV, as it is: a field of a plain line,
    // and not a crawler's name in the agent column.
    bool printsAsIs(size_t column) const { return plainFields && (column != kColUserAgent || crawlerRow == 0); }
    bool exportsAsIs(size_t column) const { return printsAsIs(column) && !commas; }
};
// The cells of list row `row`, their texts cut from `text`'s copy of its line when given.
void rowCells(const RecordStore& store, std::uint32_t row, RowCells& cells, const RowsText* text = nullptr);

// Token positions are bytes: token 255 is the last a field map names.
inline constexpr unsigned kMaxTokenPosition = 256;

// What bytes of a line a printer must treat, as RowCells says it.
struct LineBytes {
    bool plain = false;
    bool commas = true;
};

// Start offsets of tokens 1..last of a stored line (token k starts at starts[k]), and which bytes
// the line holds. Returns how many tokens the line has, counting up to `last`.
unsigned tokenStarts(std::string_view line, unsigned last, std::uint32_t (&starts)[kMaxTokenPosition + 1],
                     LineBytes& bytes);

} // namespace quill
