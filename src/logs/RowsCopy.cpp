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

std::uint32_t storeRowOf(std::uint32_t listRow, const ShownList& shown)
{
    return shown.rows ? (*shown.rows)[listRow] : listRow;
}

// The cells of list row `listRow`, its number being the list's.
void shownCells(const RecordStore& store, std::uint32_t listRow, const ShownList& shown, RowCells& cells,
                std::uint32_t& storeRow)
{
    storeRow = storeRowOf(listRow, shown);
    rowCells(store, storeRow, cells);
    const auto [end, ignored] = std::to_chars(cells.number, cells.number + sizeof cells.number, listRow);
    cells.texts[kColRow] = std::string_view(cells.number, static_cast<size_t>(end - cells.number));
}

std::string_view extraText(const RecordStore& store, std::uint32_t storeRow, const ShownList& shown)
{
    const std::uint32_t record = store.recordAt(storeRow);
    return record < shown.extraTexts.size() ? shown.extraTexts[record] : std::string_view();
}

// Lines of `count` rows made by `appendRow(i, out)`, joined by LF, formatted on two threads in
// chunks that each go to a piece of their own. A piece is reserved the size of its rows' lines
// (which hold every cell) so it grows at most once.
template <typename AppendRow, typename RowBytes>
void appendLines(CopiedText& text, size_t count, const AppendRow& appendRow, const RowBytes& rowBytes)
{
    const size_t first = text.pieces.size();
    text.pieces.resize(first + (count + kRowsPerChunk - 1) / kRowsPerChunk);
    OrderedChunks job;
    job.format = [&](size_t index, std::string&) {
        std::string& out = text.pieces[first + index];
        const size_t begin = index * kRowsPerChunk;
        const size_t end = std::min(count, begin + kRowsPerChunk);
        size_t bytes = 0;
        for (size_t i = begin; i < end; ++i)
            bytes += rowBytes(i);
        out.reserve(bytes);
        for (size_t i = begin; i < end; ++i) {
            if (i > 0)
                out += '\n';
            appendRow(i, out);
        }
    };
    job.deliver = [](const std::string&) { return Status(); };
    (void)runOrderedChunks(text.pieces.size() - first, job); // delivery never fails
}

// About the bytes a row's cells take: its line and agent, the row number and the TABs.
size_t rowBytes(const RecordStore& store, std::uint32_t storeRow)
{
    const LogRecord& record = store.record(store.recordAt(storeRow));
    return record.line().size() + store.agent(record).size() + 32;
}

size_t shownRowCount(const RecordStore& store, const ShownList& shown)
{
    return shown.rows ? shown.rows->size() : store.count();
}

} // namespace

size_t CopiedText::size() const
{
    size_t total = 0;
    for (const std::string& piece : pieces)
        total += piece.size();
    return total;
}

std::string CopiedText::joined() const
{
    std::string text;
    text.reserve(size());
    for (const std::string& piece : pieces)
        text += piece;
    return text;
}

CopiedText copiedRowsText(const RecordStore& store, const std::vector<std::uint32_t>& listRows, const ShownList& shown)
{
    CopiedText text;
    const size_t rows = shownRowCount(store, shown);
    if (std::any_of(listRows.begin(), listRows.end(), [rows](std::uint32_t row) { return row >= rows; }))
        return text;
    if (listRows.size() > 1) {
        std::string& captions = text.pieces.emplace_back();
        for (size_t column = 0; column < kColumnCount; ++column) {
            if (column > 0)
                captions += '\t';
            captions.append(recordColumns()[column].caption);
        }
        if (shown.extraCaption) {
            captions += '\t';
            appendCell(captions, *shown.extraCaption, false);
        }
        captions += '\n';
    }
    const auto bytes = [&](size_t i) { return rowBytes(store, storeRowOf(listRows[i], shown)); };
    appendLines(text, listRows.size(), [&](size_t i, std::string& out) {
        RowCells cells;
        std::uint32_t storeRow = 0;
        shownCells(store, listRows[i], shown, cells, storeRow);
        for (size_t column = 0; column < kColumnCount; ++column) {
            if (column > 0)
                out += '\t';
            appendCell(out, cells.texts[column], cells.printsAsIs(column));
        }
        if (shown.extraCaption) {
            out += '\t';
            appendCell(out, extraText(store, storeRow, shown), false);
        }
    }, bytes);
    return text;
}

CopiedText copiedColumnText(const RecordStore& store, const std::vector<std::uint32_t>& listRows, int column,
                             const ShownList& shown)
{
    CopiedText text;
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
            appendCell(out, cells.texts[static_cast<size_t>(column)], cells.printsAsIs(static_cast<size_t>(column)));
    }, [&](size_t i) { return rowBytes(store, storeRowOf(listRows[i], shown)); });
    return text;
}

} // namespace quill
