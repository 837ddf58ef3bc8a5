#pragma once
// Whether a data line becomes a record, and the crawler it comes from.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"

#include <string_view>

namespace quill {

struct KeepDecision {
    bool keep = false;
    int crawlerRow = 0; // row of the crawler table, 0 for none; set whenever the test got that far
};

// The keep test on one raw data line, in its defined order; every test looks at the line with its
// "- " prefix. This is the plain definition; the log reader's matcher must agree with it.
KeepDecision keepTest(std::string_view rawLine, const FilterSnapshot& filters, const FieldMap& map);

// The last tests of the keep test, once the crawler is known: own-address and crawler filters.
bool passesCrawlerFilters(std::string_view rawLine, int crawlerRow, const FilterSnapshot& filters,
                          const FieldMap& map);

} // namespace quill
