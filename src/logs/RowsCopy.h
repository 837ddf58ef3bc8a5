#pragma once
// The record list's rows as tab-separated text for the clipboard, in UTF-8 as spreadsheets and
// editors take it: one line per row, cells in the list's column order.

#include "logs/RecordsCsv.h"
#include "logs/RecordStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

// A copied text in pieces whose concatenation is the text: a million rows are a few hundred MB,
// which the clipboard then joins with one copy instead of two.
struct CopiedText {
    std::vector<std::string> pieces;
    size_t size() const;
    std::string joined() const;
};

// The rows `listRows` (list rows, top to bottom, as the list numbers them) of the list `shown`
// with every column it shows; the captions come first when more than one row is copied. A TAB, CR
// or LF inside a cell becomes a blank so the text keeps its shape. Lines are joined by LF.
// The store must not change until it returns.
CopiedText copiedRowsText(const RecordStore& store, const std::vector<std::uint32_t>& listRows,
                           const ShownList& shown = {});

// One column's cells of `listRows`, one per line, without a caption (a cell, the visitors' addresses).
CopiedText copiedColumnText(const RecordStore& store, const std::vector<std::uint32_t>& listRows, int column,
                             const ShownList& shown = {});

} // namespace quill
