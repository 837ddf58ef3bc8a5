#include "ledger/UrlPack.h"

namespace quill {

using detail::appendNumber;
using detail::counted;

std::string encodeUrlPack(const std::vector<UrlDayRow>& rows)
{
    std::string out;
    out.reserve(rows.size() * 12);
    std::uint32_t path = 0;
    for (const UrlDayRow& row : rows) {
        appendNumber(out, row.path - path); // paths ascend, so their gaps are small
        path = row.path;
        appendNumber(out, row.crawler);
        appendNumber(out, counted(row.hits));
        for (std::int64_t hits : row.classHits)
            appendNumber(out, counted(hits));
        appendNumber(out, counted(row.bytes));
        appendNumber(out, counted(row.timeTaken));
    }
    return out;
}

} // namespace quill
