#pragma once
// The ledger's views as tables of texts: what the page's lists show, what the command line prints
// and what "导出CSV" writes, all from the same cells. Rows can be sorted by any column and
// narrowed to those whose first column holds a text.

#include "ledger/LedgerViews.h"
#include "platform/CsvText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

class LedgerTable {
public:
    virtual ~LedgerTable() = default;

    size_t rowCount() const { return m_order.size(); }
    virtual size_t columnCount() const = 0;
    virtual std::string caption(size_t column) const = 0; // GBK
    // The GBK text of a cell of the rows as they stand (sorted, narrowed).
    std::string cell(size_t row, size_t column) const { return text(m_order[row], column); }
    // Numbers sort by value and stand right-aligned.
    virtual bool isNumber(size_t column) const { return column > 0; }

    // Orders the rows by `column` (numbers by value, texts by bytes); ties keep their order.
    void sortBy(size_t column, bool descending);
    // Keeps the rows whose first column holds `gbkText`, ASCII case ignored; empty: every row.
    void narrow(std::string_view gbkText);

protected:
    // Call once the rows are known: every row, in their first order.
    void showAllRows();
    virtual size_t baseRowCount() const = 0;
    virtual std::string text(size_t baseRow, size_t column) const = 0;
    // The sort key of a number cell.
    virtual double number(size_t baseRow, size_t column) const;
    // The text of a cell where the table keeps it, so a sort need not copy it; null otherwise.
    virtual const std::string* keptText(size_t /*baseRow*/, size_t /*column*/) const { return nullptr; }

private:
    std::vector<std::uint32_t> m_order; // base rows as shown
    std::vector<std::uint32_t> m_sorted; // every base row, in the last sort's order
    std::string m_narrowedTo;
};

// A URL path as people read it: "%E4%B8%AD" shown as the character it stands for (UTF-8 or GBK
// escapes alike), other bytes as logged.
std::string displayPath(std::string_view loggedPath);

// "1,234,567".
std::string groupedNumber(std::int64_t number);

// "12.5%" of `part` in `whole`; "" when whole is 0.
std::string shareText(std::int64_t part, std::int64_t whole);

std::unique_ptr<LedgerTable> urlTable(UrlView view, bool directories);
std::unique_ptr<LedgerTable> daysTable(DaysView view);
std::unique_ptr<LedgerTable> hoursTable(HoursView view);
std::unique_ptr<LedgerTable> statusTable(StatusView view);
std::unique_ptr<LedgerTable> fakesTable(FakesView view);
// Rows of texts: the sitemap comparison and the answer of a query.
std::unique_ptr<LedgerTable> textTable(std::vector<std::string> captions, std::vector<std::vector<std::string>> rows);

// The table as CSV (every row as it stands, cells that start like a formula written as `cells`
// says); it reads `table` while it is written.
CsvTable ledgerCsv(const LedgerTable& table, CsvCells cells = CsvCells::Neutralised);

} // namespace quill
