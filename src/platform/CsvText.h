#pragma once
// Comma-separated values as spreadsheet programs read them: UTF-8 with a byte-order mark, fields
// quoted where they hold a comma, a quote, CR or LF (quotes doubled), lines ending in CR LF.

#include "platform/Status.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace quill {

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// How cells that a spreadsheet would run as a formula are written.
enum class CsvCells {
    Neutralised, // a leading "'" makes them text, as spreadsheet security guidance asks
    Verbatim,    // for tools that read the cells as data
};

// True when a spreadsheet would take a cell holding `field` for a formula: it begins with "=",
// "+", "-", "@", TAB or CR. The log's empty-field mark "-" and signed plain numbers ("-12",
// "+3.5") are values, not formulas.
bool startsLikeFormula(std::string_view field);

// Appends a GBK field converted to UTF-8, quoted when it needs it; a field that starts like a
// formula gets a leading "'" unless `cells` is Verbatim.
void appendCsvField(std::string& out, std::string_view gbkField, CsvCells cells = CsvCells::Neutralised);

// `path` with ".csv" appended when its file name has no extension ("report" becomes
// "report.csv"; "report.txt" and "a.b/report.csv" stay).
std::string withCsvExtension(std::string path);

// A table to write: the header line (with the byte-order mark) and rows appended in ranges.
struct CsvTable {
    std::string header;
    size_t rows = 0;
    std::function<void(size_t begin, size_t end, std::string& out)> appendRows;
    // Asked after each piece of rows was formatted and before it is delivered; a failure ends the
    // run with it (the rows' source changed under them). Empty: nothing to check.
    std::function<Status()> confirmRows;
};

struct CsvRun {
    const std::atomic<bool>* cancel = nullptr; // set: the run ends with kCancelledMessage
    // Told how many rows were delivered so far, after each piece, for a progress bar; called on
    // the writing thread, one call at a time.
    std::function<void(size_t rowsDone)> progress;
};

// The table's bytes in order, piece by piece to `deliver`; rows are formatted on two threads.
Status produceCsv(const CsvTable& table, const std::function<Status(std::string_view)>& deliver,
                  const CsvRun& run = {});

// Writes the table to `path` through a temporary file renamed at the end: a cancelled or failed
// export leaves no file behind and an existing one untouched.
Status exportCsvFile(const CsvTable& table, const std::string& path, const CsvRun& run = {});

} // namespace quill
