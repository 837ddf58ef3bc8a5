#pragma once
// The crawler statistics list as a CSV table: the ten captions, then one line per file.

#include "crawlers/CrawlerFileStats.h"
#include "platform/CsvText.h"

#include <vector>

namespace quill {

// The header line, byte-order mark first.
std::string statisticsCsvHeader();

void appendStatisticsCsvRow(std::string& out, const CrawlerFileStats& row, CsvCells cells = CsvCells::Neutralised);

// The table reads `rows` while it is written.
CsvTable statisticsCsv(const std::vector<CrawlerFileStats>& rows, CsvCells cells = CsvCells::Neutralised);

} // namespace quill
