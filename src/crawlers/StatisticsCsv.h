#pragma once
// The crawler statistics list as a CSV table: the ten captions, then one line per file.

#include "crawlers/CrawlerFileStats.h"
#include "crawlers/RegistryStatistics.h"
#include "platform/CsvText.h"

#include <vector>

namespace quill {

// The header line, byte-order mark first.
std::string statisticsCsvHeader();

void appendStatisticsCsvRow(std::string& out, const CrawlerFileStats& row, CsvCells cells = CsvCells::Neutralised);

// The table reads `rows` while it is written.
CsvTable statisticsCsv(const std::vector<CrawlerFileStats>& rows, CsvCells cells = CsvCells::Neutralised);

// The "全部蜘蛛" view as a table: its captions, then one line per file. Reads both while written.
CsvTable registryStatisticsCsv(const std::vector<RegistryFileStats>& rows, const std::vector<RegistryColumn>& columns,
                               CsvCells cells = CsvCells::Neutralised);

} // namespace quill
