#pragma once
// A crawl report's figures as one JSON document (UTF-8), shaped as docs/report.md describes.

#include "report/CrawlReport.h"

#include <string>

namespace quill {

std::string reportJson(const CrawlReport& report);

} // namespace quill
