#include "platform/CsvText.h"

#include "platform/CodePage.h"
#include "platform/OrderedChunks.h"
#include "platform/ReplacementFile.h"

#include <algorithm>

namespace quill {
namespace {

constexpr size_t kRowsPerChunk = 8192;

inline bool needsQuotes(char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; }

void appendQuoted(std::string& out, std::string_view utf8)
{
    if (std::none_of(utf8.begin(), utf8.end(), needsQuotes)) {
        out.append(utf8);
        return;
    }
    out += '"';
    for (char c : utf8) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
}

} // namespace

bool startsLikeFormula(std::string_view field)
{
    if (field.empty())
        return false;
    const char first = field.front();
    if (first == '=' || first == '@' || first == '\t' || first == '\r')
        return true;
    if (first != '+' && first != '-')
        return false;
    if (field == "-")
        return false;
    // A sign, digits and at most one point, a digit on either side of it: a number.
    const std::string_view number = field.substr(1);
    const size_t point = number.find('.');
    const auto digits = [](std::string_view text) {
        return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (point == std::string_view::npos)
        return !digits(number);
    return !digits(number.substr(0, point)) || !digits(number.substr(point + 1));
}

void appendCsvField(std::string& out, std::string_view gbkField, CsvCells cells)
{
    const bool ascii = std::none_of(gbkField.begin(), gbkField.end(), [](char c) { return (c & 0x80) != 0; });
    const bool formula = cells == CsvCells::Neutralised && startsLikeFormula(gbkField);
    if (ascii && !formula) {
        appendQuoted(out, gbkField);
        return;
    }
    std::string utf8 = formula ? "'" : "";
    utf8 += ascii ? std::string(gbkField) : gbkToUtf8(gbkField);
    appendQuoted(out, utf8);
}

std::string withCsvExtension(std::string path)
{
    const size_t nameStart = path.find_last_of("/\\") + 1; // npos + 1 is 0: no folder
    const size_t dot = path.find_last_of('.');
    // A dot that starts the name marks a hidden file, not an extension.
    if (path.size() > nameStart && (dot == std::string::npos || dot <= nameStart))
        path += ".csv";
    return path;
}

Status produceCsv(const CsvTable& table, const std::function<Status(std::string_view)>& deliver, const CsvRun& run)
{
    if (table.confirmRows)
        if (Status rows = table.confirmRows(); !rows.ok())
            return rows;
    if (Status header = deliver(table.header); !header.ok())
        return header;
    OrderedChunks job;
    job.format = [&](size_t index, std::string& out) {
        const size_t begin = index * kRowsPerChunk;
        table.appendRows(begin, std::min(table.rows, begin + kRowsPerChunk), out);
    };
    size_t rowsDone = 0;
    job.deliver = [&](const std::string& chunk) {
        if (table.confirmRows)
            if (Status rows = table.confirmRows(); !rows.ok())
                return rows;
        Status delivered = deliver(chunk);
        rowsDone = std::min(table.rows, rowsDone + kRowsPerChunk);
        if (run.progress)
            run.progress(rowsDone);
        return delivered;
    };
    job.cancel = run.cancel;
    return runOrderedChunks((table.rows + kRowsPerChunk - 1) / kRowsPerChunk, job);
}

Status exportCsvFile(const CsvTable& table, const std::string& path, const CsvRun& run)
{
    ReplacementFile file(path, false);
    Status produced = produceCsv(
        table,
        [&](std::string_view bytes) {
            return file.write(bytes) ? Status() : Status::failure(unableToWriteText(path));
        },
        run);
    if (!produced.ok())
        return produced; // the temporary file goes with `file`
    return file.commit();
}

} // namespace quill
