#pragma once
// A crawl report as one HTML page that opens anywhere, offline: inline CSS and SVG, no script,
// no font or picture from elsewhere, readable on a phone and printable. Chinese, UTF-8.

#include "report/CrawlReport.h"

#include <string>

namespace quill {

std::string reportHtml(const CrawlReport& report);

} // namespace quill
