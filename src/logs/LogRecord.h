#pragma once
// One kept data line of a log file.

#include <cstdint>
#include <string_view>

namespace quill {

// The text lives in the store's arenas or in the file's mapping; the record remembers the crawler table row that named it
// and which of the store's field maps was in effect when the line was read.
struct LogRecord {
    const char* text = nullptr;
    std::uint32_t length = 0;
    std::uint32_t mapAndCrawler = 0; // map id << 8 | crawler row

    std::string_view line() const { return {text, length}; }
    std::uint32_t mapId() const { return mapAndCrawler >> 8; }
    int crawlerRow() const { return static_cast<int>(mapAndCrawler & 0xFF); }
};

} // namespace quill
