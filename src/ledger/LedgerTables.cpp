#include "ledger/LedgerTables.h"

#include "ledger/LedgerDays.h"
#include "platform/CodePage.h"
#include "platform/GbkText.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <numeric>

namespace quill {
namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string count(std::int64_t value) { return std::to_string(value); }

const char* const kClassCaptions[kStatusClasses] = {"2xx", "3xx", "4xx", "5xx"};

class UrlTable : public LedgerTable {
public:
    UrlTable(UrlView view, bool directories) : m_view(std::move(view)), m_directories(directories)
    {
        // Only paths with escapes are shown otherwise than logged.
        m_decoded.reserve(m_view.rows.size());
        for (const UrlRow& row : m_view.rows)
            m_decoded.push_back(directories || row.path.find('%') == std::string::npos ? std::string() : displayPath(row.path));
        showAllRows();
    }
    size_t columnCount() const override { return crawlers() + 1 + kTail; }
    std::string caption(size_t column) const override
    {
        if (column == 0)
            return gbk(m_directories ? "目录" : "URL");
        if (column <= crawlers())
            return m_view.crawlers[column - 1].name;
        static const char* const tail[kTail] = {"合计", "首次抓取", "最近抓取", "未抓天数", "2xx", "3xx",
                                                "4xx", "5xx", "平均用时(ms)", "字节"};
        return gbk(tail[column - crawlers() - 1]);
    }
    bool isNumber(size_t column) const override
    {
        return column > 0 && column != crawlers() + 2 && column != crawlers() + 3;
    }
    const std::string* keptText(size_t r, size_t column) const override { return column == 0 ? &shownPath(r) : nullptr; }

protected:
    size_t baseRowCount() const override { return m_view.rows.size(); }
    std::string text(size_t r, size_t column) const override
    {
        const UrlRow& row = m_view.rows[r];
        if (column == 0)
            return shownPath(r);
        if (column <= crawlers())
            return count(m_view.crawlerHits[r * crawlers() + column - 1]);
        switch (column - crawlers() - 1) {
        case 0:
            return count(row.hits);
        case 1:
            return dayText(row.firstDay);
        case 2:
            return dayText(row.lastDay);
        case 3:
            return count(daysBetween(row.lastDay, m_view.rangeEnd));
        case 4:
        case 5:
        case 6:
        case 7:
            return shareText(row.classHits[column - crawlers() - 5], row.hits);
        case 8:
            return row.hits == 0 ? std::string() : count(row.timeTaken / row.hits);
        default:
            return count(row.bytes);
        }
    }
    double number(size_t r, size_t column) const override
    {
        const UrlRow& row = m_view.rows[r];
        if (column <= crawlers())
            return static_cast<double>(m_view.crawlerHits[r * crawlers() + column - 1]);
        const size_t c = column - crawlers() - 1;
        if (c >= 4 && c <= 7)
            return row.hits == 0 ? 0 : static_cast<double>(row.classHits[c - 4]) / static_cast<double>(row.hits);
        if (c == 8)
            return row.hits == 0 ? 0 : static_cast<double>(row.timeTaken) / static_cast<double>(row.hits);
        return LedgerTable::number(r, column);
    }

private:
    static constexpr size_t kTail = 10;
    size_t crawlers() const { return m_view.crawlers.size(); }
    const std::string& shownPath(size_t r) const { return m_decoded[r].empty() ? m_view.rows[r].path : m_decoded[r]; }

    UrlView m_view;
    bool m_directories;
    std::vector<std::string> m_decoded; // a path as shown, when that differs from it as logged
};

class DaysTable : public LedgerTable {
public:
    explicit DaysTable(DaysView view) : m_view(std::move(view)) { showAllRows(); }
    size_t columnCount() const override { return 4 + m_view.crawlers.size(); }
    std::string caption(size_t column) const override
    {
        static const char* const head[] = {"日期", "全部请求", "蜘蛛请求", "伪装"};
        return column < 4 ? gbk(head[column]) : m_view.crawlers[column - 4].name;
    }

protected:
    size_t baseRowCount() const override { return m_view.rows.size(); }
    std::string text(size_t r, size_t column) const override
    {
        const DayRow& row = m_view.rows[r];
        switch (column) {
        case 0:
            return dayText(row.day);
        case 1:
            return count(row.requests);
        case 2:
            return count(row.crawlerRequests);
        case 3:
            return count(row.fakeRequests);
        default:
            return count(row.hits[column - 4]);
        }
    }

private:
    DaysView m_view;
};

class HoursTable : public LedgerTable {
public:
    explicit HoursTable(HoursView view) : m_view(std::move(view)) { showAllRows(); }
    size_t columnCount() const override { return 2 + m_view.crawlers.size(); }
    std::string caption(size_t column) const override
    {
        if (column == 0)
            return gbk("时段");
        return column <= m_view.crawlers.size() ? m_view.crawlers[column - 1].name : gbk("合计");
    }
    bool isNumber(size_t) const override { return true; }

protected:
    size_t baseRowCount() const override { return 24; }
    std::string text(size_t hour, size_t column) const override
    {
        if (column == 0) {
            char text[16];
            std::snprintf(text, sizeof text, "%02zu:00-%02zu:59", hour, hour);
            return text;
        }
        const auto& hits = m_view.hits[hour];
        if (column <= hits.size())
            return count(hits[column - 1]);
        return count(std::accumulate(hits.begin(), hits.end(), std::int64_t(0)));
    }
    double number(size_t hour, size_t column) const override
    {
        return column == 0 ? static_cast<double>(hour) : LedgerTable::number(hour, column);
    }

private:
    HoursView m_view;
};

class StatusTable : public LedgerTable {
public:
    explicit StatusTable(StatusView view) : m_view(std::move(view)) { showAllRows(); }
    size_t columnCount() const override { return 9; }
    std::string caption(size_t column) const override
    {
        static const char* const captions[] = {"日期", "蜘蛛", "抓取", "2xx", "3xx", "4xx", "5xx", "非200", "浪费"};
        return gbk(captions[column]);
    }
    bool isNumber(size_t column) const override { return column > 1; }

protected:
    size_t baseRowCount() const override { return m_view.rows.size(); }
    std::string text(size_t r, size_t column) const override
    {
        const StatusRow& row = m_view.rows[r];
        switch (column) {
        case 0:
            return row.day == 0 ? gbk("全部") : dayText(row.day);
        case 1:
            return m_view.crawlers[row.crawler].name;
        case 2:
            return count(row.hits);
        case 7:
            return count(row.hits - row.status200);
        case 8:
            return shareText(row.hits - row.status200, row.hits);
        default:
            return count(row.classHits[column - 3]);
        }
    }
    double number(size_t r, size_t column) const override
    {
        const StatusRow& row = m_view.rows[r];
        if (column == 8)
            return row.hits == 0 ? 0 : static_cast<double>(row.hits - row.status200) / static_cast<double>(row.hits);
        return LedgerTable::number(r, column);
    }

private:
    StatusView m_view;
};

class FakesTable : public LedgerTable {
public:
    explicit FakesTable(FakesView view) : m_view(std::move(view)) { showAllRows(); }
    size_t columnCount() const override { return 6; }
    std::string caption(size_t column) const override
    {
        static const char* const captions[] = {"IP", "冒充", "次数", "首次", "最近", "常抓URL"};
        return gbk(captions[column]);
    }
    bool isNumber(size_t column) const override { return column == 2; }

protected:
    size_t baseRowCount() const override { return m_view.rows.size(); }
    std::string text(size_t r, size_t column) const override
    {
        const FakeRow& row = m_view.rows[r];
        switch (column) {
        case 0:
            return row.address;
        case 1:
            return m_view.crawlers[row.crawler].name;
        case 2:
            return count(row.hits);
        case 3:
            return dayText(row.firstDay);
        case 4:
            return dayText(row.lastDay);
        default: {
            std::string paths;
            for (const auto& [path, hits] : row.topPaths)
                paths += (paths.empty() ? "" : " ") + displayPath(path) + " (" + count(hits) + ")";
            return paths;
        }
        }
    }

private:
    FakesView m_view;
};

class TextTable : public LedgerTable {
public:
    TextTable(std::vector<std::string> captions, std::vector<std::vector<std::string>> rows)
        : m_captions(std::move(captions)), m_rows(std::move(rows))
    {
        showAllRows();
    }
    size_t columnCount() const override { return m_captions.size(); }
    std::string caption(size_t column) const override { return m_captions[column]; }
    bool isNumber(size_t) const override { return false; }

protected:
    size_t baseRowCount() const override { return m_rows.size(); }
    std::string text(size_t r, size_t column) const override
    {
        return column < m_rows[r].size() ? m_rows[r][column] : std::string();
    }

private:
    std::vector<std::string> m_captions;
    std::vector<std::vector<std::string>> m_rows;
};

} // namespace

void LedgerTable::showAllRows()
{
    m_sorted.resize(baseRowCount());
    std::iota(m_sorted.begin(), m_sorted.end(), 0u);
    m_order = m_sorted;
}

double LedgerTable::number(size_t baseRow, size_t column) const
{
    const std::string value = text(baseRow, column);
    return value.empty() ? 0.0 : std::strtod(value.c_str(), nullptr);
}

void LedgerTable::sortBy(size_t column, bool descending)
{
    // Rows often come in the order asked for (the URL list starts sorted by path): then a look
    // over them is all it takes.
    auto sortWith = [&](const auto& keys) {
        auto before = [&](std::uint32_t a, std::uint32_t b) {
            return descending ? keys[a] > keys[b] : keys[a] < keys[b];
        };
        if (!std::is_sorted(m_sorted.begin(), m_sorted.end(), before))
            std::stable_sort(m_sorted.begin(), m_sorted.end(), before);
    };
    const size_t rows = baseRowCount();
    if (isNumber(column)) {
        std::vector<double> keys(rows);
        for (size_t r = 0; r < rows; ++r)
            keys[r] = number(r, column);
        sortWith(keys);
    } else {
        std::vector<std::string> owned;
        owned.reserve(rows);
        std::vector<std::string_view> keys(rows);
        for (size_t r = 0; r < rows; ++r) {
            const std::string* kept = keptText(r, column);
            keys[r] = kept ? std::string_view(*kept) : std::string_view(owned.emplace_back(text(r, column)));
        }
        sortWith(keys);
    }
    narrow(m_narrowedTo);
}

void LedgerTable::narrow(std::string_view gbkText)
{
    m_narrowedTo = std::string(gbkText);
    if (m_narrowedTo.empty()) {
        m_order = m_sorted;
        return;
    }
    const CaselessNeedle needle(m_narrowedTo);
    m_order.clear();
    for (std::uint32_t r : m_sorted)
        if (needle.findIn(text(r, 0)) != std::string::npos)
            m_order.push_back(r);
}

std::string displayPath(std::string_view loggedPath)
{
    std::string bytes;
    bytes.reserve(loggedPath.size());
    bool escaped = false;
    for (size_t i = 0; i < loggedPath.size(); ++i) {
        int high = 0, low = 0;
        if (loggedPath[i] == '%' && i + 2 < loggedPath.size() && (high = hexValue(loggedPath[i + 1])) >= 0 &&
            (low = hexValue(loggedPath[i + 2])) >= 0) {
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
            escaped = true;
        } else {
            bytes += loggedPath[i];
        }
    }
    if (!escaped)
        return std::string(loggedPath);
    // Browsers escape UTF-8; older clients GBK. Text that is valid UTF-8 is read as UTF-8.
    const bool high = std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
    return high && isValidUtf8(bytes) ? utf8ToGbk(bytes) : bytes;
}

std::string shareText(std::int64_t part, std::int64_t whole)
{
    if (whole <= 0)
        return {};
    // As "%.1f%%" writes it, without the cost of printf for every cell of a long list.
    char text[32];
    const double share = 100.0 * static_cast<double>(part) / static_cast<double>(whole);
    char* end = std::to_chars(text, text + sizeof text - 1, share, std::chars_format::fixed, 1).ptr;
    *end++ = '%';
    return std::string(text, end);
}

std::unique_ptr<LedgerTable> urlTable(UrlView view, bool directories)
{
    return std::make_unique<UrlTable>(std::move(view), directories);
}

std::unique_ptr<LedgerTable> daysTable(DaysView view) { return std::make_unique<DaysTable>(std::move(view)); }
std::unique_ptr<LedgerTable> hoursTable(HoursView view) { return std::make_unique<HoursTable>(std::move(view)); }
std::unique_ptr<LedgerTable> statusTable(StatusView view) { return std::make_unique<StatusTable>(std::move(view)); }
std::unique_ptr<LedgerTable> fakesTable(FakesView view) { return std::make_unique<FakesTable>(std::move(view)); }

std::unique_ptr<LedgerTable> textTable(std::vector<std::string> captions, std::vector<std::vector<std::string>> rows)
{
    return std::make_unique<TextTable>(std::move(captions), std::move(rows));
}

std::string groupedNumber(std::int64_t number)
{
    std::string digits = std::to_string(number < 0 ? -number : number);
    for (size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return number < 0 ? "-" + digits : digits;
}

CsvTable ledgerCsv(const LedgerTable& table, CsvCells cells)
{
    CsvTable csv;
    csv.header = std::string(kUtf8Bom);
    for (size_t c = 0; c < table.columnCount(); ++c) {
        if (c > 0)
            csv.header += ',';
        appendCsvField(csv.header, table.caption(c));
    }
    csv.header += "\r\n";
    csv.rows = table.rowCount();
    csv.appendRows = [&table, cells](size_t begin, size_t end, std::string& out) {
        for (size_t r = begin; r < end; ++r) {
            for (size_t c = 0; c < table.columnCount(); ++c) {
                if (c > 0)
                    out += ',';
                appendCsvField(out, table.cell(r, c), cells);
            }
            out += "\r\n";
        }
    };
    return csv;
}

} // namespace quill
