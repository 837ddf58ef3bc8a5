#include "crawlers/StatisticsCsv.h"

namespace quill {
namespace {

template <typename Texts>
void appendLine(std::string& out, const Texts& texts)
{
    for (size_t i = 0; i < texts.size(); ++i) {
        if (i > 0)
            out += ',';
        appendCsvField(out, texts[i]);
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

void appendStatisticsCsvRow(std::string& out, const CrawlerFileStats& row)
{
    appendLine(out, statisticsRowTexts(row));
}

CsvTable statisticsCsv(const std::vector<CrawlerFileStats>& rows)
{
    CsvTable table;
    table.header = statisticsCsvHeader();
    table.rows = rows.size();
    table.appendRows = [&rows](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            appendStatisticsCsvRow(out, rows[i]);
    };
    return table;
}

CsvTable registryStatisticsCsv(const std::vector<RegistryFileStats>& rows, const std::vector<RegistryColumn>& columns)
{
    CsvTable table;
    table.header = std::string(kUtf8Bom);
    appendLine(table.header, registryCaptions(columns));
    table.rows = rows.size();
    table.appendRows = [&rows, &columns](size_t begin, size_t end, std::string& out) {
        for (size_t i = begin; i < end; ++i)
            appendLine(out, registryRowTexts(rows[i], columns));
    };
    return table;
}

} // namespace quill
