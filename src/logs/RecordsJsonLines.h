#pragma once
// The record list as JSON lines for other tools: one object per row, with the field names of the
// Elastic Common Schema for web access logs, IIS's own fields under "iis.", and the crawler under
// "quillmarkbox.crawler.". A field the log does not have, or holds as "-", is left out.

#include "logs/RecordStore.h"

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace quill {

// Appends list rows [begin, end) in display order, each one UTF-8 JSON object and "\n".
// `verdicts`, when not empty, holds the crawler check's GBK verdict word per record (file order;
// empty for none).
void appendJsonLines(const RecordStore& store, size_t begin, size_t end, std::span<const std::string_view> verdicts,
                     std::string& out);

} // namespace quill
