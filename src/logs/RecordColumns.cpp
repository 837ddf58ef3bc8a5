#include "logs/RecordColumns.h"

#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quill {
namespace {

#ifdef __SSE2__
// Bytes that make a text need more than a copy when printed or written as JSON: above 0x7F (GBK),
// below 0x20 (TAB, CR, NUL and the control bytes JSON escapes), backslash and double quote.
inline unsigned escapeMask(__m128i bytes)
{
    const __m128i hits =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, _mm_set1_epi8('\\')), _mm_cmpeq_epi8(bytes, _mm_set1_epi8('"'))),
                     _mm_cmplt_epi8(bytes, _mm_set1_epi8(0x20)));
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(hits, bytes)));
}

// What CSV quotes besides.
inline unsigned commaMask(__m128i bytes)
{
    return static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, _mm_set1_epi8(','))));
}
#endif

inline bool needsEscape(char c)
{
    return (c & 0x80) != 0 || static_cast<unsigned char>(c) < 0x20 || c == '\\' || c == '"';
}

} // namespace

unsigned tokenStarts(std::string_view line, unsigned last, std::uint32_t (&starts)[kMaxTokenPosition + 1],
                     LineBytes& lineBytes)
{
    const char* begin = line.data();
    const char* end = begin + line.size();
    unsigned found = 1;
    starts[1] = 0;
    unsigned escapes = 0;
    unsigned commas = 0;
    const char* p = begin;
#ifdef __SSE2__
    const __m128i blank = _mm_set1_epi8(' ');
    // Bytes p[i] with bit i of `wanted` set: all 16, then the line's last few again, read as the
    // end of the 16 bytes before the line's end, which the line holds.
    const auto scan = [&](const char* at, unsigned wanted) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
        escapes |= escapeMask(bytes) & wanted;
        commas |= commaMask(bytes) & wanted;
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank))) & wanted;
        while (bits != 0 && found < last) {
            starts[++found] = static_cast<std::uint32_t>(at - begin) + static_cast<unsigned>(__builtin_ctz(bits)) + 1;
            bits &= bits - 1;
        }
    };
    for (; end - p >= 16; p += 16)
        scan(p, 0xFFFF);
    if (p < end && line.size() >= 16) {
        scan(end - 16, 0xFFFFu << (16 - (end - p)) & 0xFFFF);
        p = end;
    }
#endif
    for (; p < end; ++p) {
        escapes |= needsEscape(*p) ? 1u : 0u;
        commas |= *p == ',' ? 1u : 0u;
        if (*p == ' ' && found < last)
            starts[++found] = static_cast<std::uint32_t>(p - begin) + 1;
    }
    lineBytes.plain = escapes == 0;
    lineBytes.commas = commas != 0;
    return found;
}

const std::array<RecordColumn, kColumnCount>& recordColumns()
{
    static const std::array<RecordColumn, kColumnCount> columns = {{
        {"序号", 30},   {"url", 150},    {"getURL", 200},  {"浏鉴器/蜘蛛", 200}, {"状态", 40},     {"子状态", 30},
        {"标记", 30},   {"访问IP", 90},  {"日期", 70},     {"时间", 60},         {"GET/post", 40}, {"服务器IP", 80},
        {"端口", 25},   {"发送", 50},    {"接收", 50},     {"用时", 50},         {"来源页", 50},
    }};
    return columns;
}

void rowCells(const RecordStore& store, std::uint32_t row, RowCells& cells, const RowsText* text)
{
    auto& texts = cells.texts;
    const auto [numberEnd, ignored] = std::to_chars(cells.number, cells.number + sizeof cells.number, row);
    texts[kColRow] = std::string_view(cells.number, static_cast<size_t>(numberEnd - cells.number));

    const LogRecord& record = store.record(store.recordAt(row));
    const FieldMap& map = store.mapOf(record);
    const std::string_view line = text ? text->line(record) : record.line();
    unsigned last = 1;
    for (int column = 1; column < kColumnCount; ++column)
        last = std::max<unsigned>(last, map[column]);
    std::uint32_t starts[kMaxTokenPosition + 1];
    LineBytes bytes;
    const unsigned tokens = tokenStarts(line, last, starts, bytes);
    cells.plainFields = bytes.plain;
    cells.commas = bytes.commas;
    for (int column = 1; column < kColumnCount; ++column) {
        const unsigned position = map[column];
        if (position == 0 || position > tokens) {
            texts[static_cast<size_t>(column)] = kMissingToken;
            continue;
        }
        const std::uint32_t start = starts[position];
        std::uint32_t stop = position < tokens ? starts[position + 1] - 1 : static_cast<std::uint32_t>(line.size());
        if (position == tokens) { // the last token found may still be followed by more
            const void* blank = std::memchr(line.data() + start, ' ', line.size() - start);
            if (blank)
                stop = static_cast<std::uint32_t>(static_cast<const char*>(blank) - line.data());
        }
        texts[static_cast<size_t>(column)] = line.substr(start, stop - start);
    }
    cells.crawlerRow = record.crawlerRow();
    if (cells.crawlerRow != 0)
        texts[kColUserAgent] = crawlerDisplayName(cells.crawlerRow);
}

} // namespace quill
