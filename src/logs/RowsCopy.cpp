#include "logs/RowsCopy.h"

#include "logs/RecordColumns.h"
#include "platform/CodePage.h"
#include "platform/OrderedChunks.h"

#include <algorithm>
#include <charconv>

namespace quill {
namespace {

constexpr size_t kRowsPerChunk = 8192;

void appendCell(std::string& out, std::string_view gbkText, bool plain)
{
    const size_t start = out.size();
    if (plain || std::none_of(gbkText.begin(), gbkText.end(), [](char c) { return (c & 0x80) != 0; }))
        out.append(gbkText);
    else
        out += gbkToUtf8(gbkText);
    // A TAB or line break would start another cell or row in the pasted table.
    if (!plain)
        std::replace_if(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(),
                        [](char c) { return c == '\t' || c == '\r' || c == '\n'; }, ' ');
}

// The cells of list row `listRow`, its number being the list's.
void shownCells(const RecordStore& store, std::uint32_t listRow, const ShownList& shown, RowCells& cells,
                std::uint32_t& storeRow)
{
    storeRow = shown.rows ? (*shown.rows)[listRow] : listRow;
    rowCells(store, storeRow, cells);
    const auto [end, ignored] = std::to_chars(cells.number, cells.number + sizeof cells.number, listRow);
    cells.texts[kColRow] = std::string_view(cells.number, static_cast<size_t>(end - cells.number));
}

std::string_view extraText(const RecordStore& store, std::uint32_t storeRow, const ShownList& shown)
{
    const std::uint32_t record = store.recordAt(storeRow);
    return record < shown.extraTexts.size() ? shown.extraTexts[record] : std::string_view();
}

// Lines of `count` rows made by `appendRow(i, out)`, formatted on two threads and joined by LF.
template <typename AppendRow>
void appendLines(std::string& text, size_t count, const AppendRow& appendRow)
{
    OrderedChunks job;
    job.format = [&](size_t index, std::string& out) {
        const size_t begin = index * kRowsPerChunk;
        for (size_t i = begin; i < std::min(count, begin + kRowsPerChunk); ++i) {
            if (i > 0)
                out += '\n';
            appendRow(i, out);
        }
    };
    job.deliver = [&](const std::string& chunk) {
        text += chunk;
        return Status();
    };
    (void)runOrderedChunks((count + kRowsPerChunk - 1) / kRowsPerChunk, job); // delivery never fails
}

size_t shownRowCount(const RecordStore& store, const ShownList& shown)
{
    return shown.rows ? shown.rows->size() : store.count();
}

} // namespace

std::string copiedRowsText(const RecordStore& store, const std::vector<std::uint32_t>& listRows, const ShownList& shown)
{
    std::string text;
    const size_t rows = shownRowCount(store, shown);
    if (std::any_of(listRows.begin(), listRows.end(), [rows](std::uint32_t row) { return row >= rows; }))
        return text;
    if (listRows.size() > 1) {
        for (size_t column = 0; column < kColumnCount; ++column) {
            if (column > 0)
                text += '\t';
            text.append(recordColumns()[column].caption);
        }
        if (shown.extraCaption) {
            text += '\t';
            appendCell(text, *shown.extraCaption, false);
        }
        text += '\n';
    }
    appendLines(text, listRows.size(), [&](size_t i, std::string& out) {
        RowCells cells;
        std::uint32_t storeRow = 0;
        shownCells(store, listRows[i], shown, cells, storeRow);
        for (size_t column = 0; column < kColumnCount; ++column) {
            if (column > 0)
                out += '\t';
            appendCell(out, cells.texts[column], cells.plainFields && column != kColUserAgent);
        }
        if (shown.extraCaption) {
            out += '\t';
            appendCell(out, extraText(store, storeRow, shown), false);
        }
    });
    return text;
}

std::string copiedColumnText(const RecordStore& store, const std::vector<std::uint32_t>& listRows, int column,
                             const ShownList& shown)
{
    std::string text;
    const size_t rows = shownRowCount(store, shown);
    const bool extra = column == kColumnCount && shown.extraCaption;
    if (column < 0 || (column >= kColumnCount && !extra) ||
        std::any_of(listRows.begin(), listRows.end(), [rows](std::uint32_t row) { return row >= rows; }))
        return text;
    appendLines(text, listRows.size(), [&](size_t i, std::string& out) {
        RowCells cells;
        std::uint32_t storeRow = 0;
        shownCells(store, listRows[i], shown, cells, storeRow);
        if (extra)
            appendCell(out, extraText(store, storeRow, shown), false);
        else
            appendCell(out, cells.texts[static_cast<size_t>(column)], cells.plainFields && column != kColUserAgent);
    });
    return text;
}

} // namespace quill
