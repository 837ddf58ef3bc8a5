#include "ledger/UrlPack.h"

namespace quill {
namespace {

void appendNumber(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

std::uint64_t counted(std::int64_t value) { return value < 0 ? 0 : static_cast<std::uint64_t>(value); }

} // namespace

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
