#include "logs/RecordsCsv.h"

#include "logs/LogAnalysis.h"
#include "logs/RecordColumns.h"
#include "platform/CodePage.h"

#include <charconv>
#include <memory>

namespace quill {

CsvTable recordsCsv(const RecordStore& store, ShownList shown, CsvCells cellMode)
{
    CsvTable table;
    table.header = kUtf8Bom;
    for (size_t column = 0; column < kColumnCount; ++column) {
        if (column > 0)
            table.header += ',';
        appendCsvField(table.header, gbk(recordColumns()[column].caption));
    }
    if (shown.extraCaption) {
        table.header += ',';
        appendCsvField(table.header, *shown.extraCaption);
    }
    table.header += "\r\n";
    table.rows = shown.rows ? shown.rows->size() : store.count();
    auto list = std::make_shared<const ShownList>(std::move(shown));
    table.appendRows = [&store, list, cellMode](size_t begin, size_t end, std::string& out) {
        const auto storeRowOf = [&list](size_t row) {
            return static_cast<std::uint32_t>(list->rows ? (*list->rows)[row] : row);
        };
        RowsText text;
        text.take(store, begin, end, storeRowOf);
        RowCells cells;
        for (size_t row = begin; row < end; ++row) {
            const std::uint32_t storeRow = storeRowOf(row);
            rowCells(store, storeRow, cells, &text);
            if (list->rows) {
                const auto [numberEnd, ignored] = std::to_chars(cells.number, cells.number + sizeof cells.number, row);
                cells.texts[kColRow] = std::string_view(cells.number, static_cast<size_t>(numberEnd - cells.number));
            }
            for (size_t column = 0; column < kColumnCount; ++column) {
                if (column > 0)
                    out += ',';
                const std::string_view text = cells.texts[column];
                if (cells.exportsAsIs(column) &&
                    (cellMode == CsvCells::Verbatim || !startsLikeFormula(text)))
                    out.append(text);
                else
                    appendCsvField(out, text, cellMode);
            }
            if (list->extraCaption) {
                out += ',';
                const std::uint32_t record = store.recordAt(storeRow);
                if (record < list->extraTexts.size())
                    appendCsvField(out, list->extraTexts[record], cellMode);
            }
            out += "\r\n";
        }
    };
    table.confirmRows = [&store] {
        return store.showsLoadedBytes() ? Status() : Status::failure(fileChangedText());
    };
    return table;
}

} // namespace quill
