#include "crawlers/StatisticsCsv.h"

namespace quill {
namespace {

template <typename Texts>
void appendLine(std::string& out, const Texts& texts, CsvCells cells = CsvCells::Neutralised)
{
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, texts[i], cells);
    }
    out += "\r\n";
}

} // namespace

std::string statisticsCsvHeader()
{
    std::array<std::string, kStatisticsListColumnCount> captions;
    for (size_t i = 0; i < captions.size(); ++i)
        captions[i] = statisticsListColumns()[i].caption;
    std::string header(kUtf8Bom);
    appendLine(header, captions);
    return header;
}

void appendStatisticsCsvRow(std::string& out, const CrawlerFileStats& row, CsvCells cells)
{
    appendLine(out, statisticsRowTexts(row), cells);
}

CsvTable statisticsCsv(const std::vector<CrawlerFileStats>& rows, CsvCells cells)
{
    CsvTable table;
    table.header = statisticsCsvHeader();
    table.rows = rows.size();
    table.appendRows = [&rows, cells](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            appendStatisticsCsvRow(out, rows[i], cells);
    };
    return table;
}

CsvTable registryStatisticsCsv(const std::vector<RegistryFileStats>& rows, const std::vector<RegistryColumn>& columns,
                               CsvCells cells)
{
    CsvTable table;
    table.header = std::string(kUtf8Bom);
    appendLine(table.header, registryCaptions(columns));
    table.rows = rows.size();
    table.appendRows = [&rows, &columns, cells](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            appendLine(out, registryRowTexts(rows[i], columns), cells);
    };
    return table;
}

} // namespace quill
