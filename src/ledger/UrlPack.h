#pragma once
// One day of crawled URLs in a compact form: per URL path and crawler, hits by status class,
// bytes and time taken, fakes left out. The ledger keeps one per day beside its tables (derived
// from them and rewritten with every add): the days at the edges of a range, and every day of a
// view narrowed to one crawler, are read from these.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct UrlDayRow {
    std::uint32_t path = 0;    // url_path id
    std::uint32_t crawler = 0; // crawler id
    std::int64_t hits = 0;
    std::int64_t classHits[4] = {}; // 2xx, 3xx, 4xx, 5xx
    std::int64_t bytes = 0;
    std::int64_t timeTaken = 0;
};

// `rows` sorted by path, then crawler.
std::string encodeUrlPack(const std::vector<UrlDayRow>& rows);

// Calls `visit(const UrlDayRow&)` for each row; false when the bytes are damaged (what was read
// before the damage has been visited).
template <typename Visit>
bool decodeUrlPack(std::string_view pack, Visit&& visit);

namespace detail {

// Appends one unsigned LEB128 number.
inline void appendNumber(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += static_cast<char>((value & 0x7F) | 0x80);
        value >>= 7;
    }
    out += static_cast<char>(value);
}

// A sum as stored: never below zero.
inline std::uint64_t counted(std::int64_t value) { return value < 0 ? 0 : static_cast<std::uint64_t>(value); }

// Reads one unsigned LEB128 number; false at the end or on an overlong one.
inline bool readNumber(const unsigned char*& p, const unsigned char* end, std::uint64_t& value)
{
    if (p < end && *p < 0x80) { // most numbers of a pack are small
        value = *p++;
        return true;
    }
    value = 0;
    for (unsigned shift = 0; p < end && shift < 64; shift += 7) {
        const unsigned char byte = *p++;
        value |= std::uint64_t(byte & 0x7F) << shift;
        if (byte < 0x80)
            return true;
    }
    return false;
}

} // namespace detail

template <typename Visit>
bool decodeUrlPack(std::string_view pack, Visit&& visit)
{
    const auto* p = reinterpret_cast<const unsigned char*>(pack.data());
    const auto* end = p + pack.size();
    UrlDayRow row;
    std::uint64_t values[9];
    while (p < end) {
        for (std::uint64_t& value : values)
            if (!detail::readNumber(p, end, value))
                return false;
        row.path += static_cast<std::uint32_t>(values[0]);
        row.crawler = static_cast<std::uint32_t>(values[1]);
        row.hits = static_cast<std::int64_t>(values[2]);
        for (int c = 0; c < 4; ++c)
            row.classHits[c] = static_cast<std::int64_t>(values[3 + c]);
        row.bytes = static_cast<std::int64_t>(values[7]);
        row.timeTaken = static_cast<std::int64_t>(values[8]);
        visit(row);
    }
    return true;
}

} // namespace quill
