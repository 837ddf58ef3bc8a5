#include "logs/MyTStringsCustomSort.h"

#include "logs/LogTokens.h"

#include <algorithm>
#include <cstring>

namespace quill {
namespace {

// The first 16 key bytes as two big-endian numbers, so most comparisons need no memcmp.
struct TextItem {
    std::uint64_t high;
    std::uint64_t low;
    std::uint32_t record;
};

std::uint64_t bigEndian8(const char* bytes, size_t available)
{
    unsigned char buffer[8] = {};
    std::memcpy(buffer, bytes, std::min<size_t>(available, 8));
    std::uint64_t value = 0;
    for (unsigned char b : buffer)
        value = (value << 8) | b;
    return value;
}

std::vector<std::string_view> keysOf(const RecordStore& store, int column)
{
    std::vector<std::string_view> keys;
    keys.reserve(store.count());
    for (const LogRecord& record : store.records())
        keys.push_back(tokenAt(record.line(), store.mapOf(record)[column]));
    return keys;
}

std::vector<std::uint32_t> sortText(const std::vector<std::string_view>& keys, bool descending)
{
    std::vector<TextItem> items(keys.size());
    for (std::uint32_t r = 0; r < keys.size(); ++r) {
        std::string_view key = keys[r];
        items[r] = {bigEndian8(key.data(), key.size()),
                    key.size() > 8 ? bigEndian8(key.data() + 8, key.size() - 8) : 0, r};
    }
    auto keyLess = [&](const TextItem& a, const TextItem& b) {
        if (a.high != b.high)
            return a.high < b.high;
        if (a.low != b.low)
            return a.low < b.low;
        std::string_view ka = keys[a.record], kb = keys[b.record];
        if (ka.size() > 16 && kb.size() > 16)
            return ka.substr(16) < kb.substr(16);
        return ka.size() < kb.size();
    };
    std::sort(items.begin(), items.end(), [&](const TextItem& a, const TextItem& b) {
        if (keyLess(a, b))
            return !descending;
        if (keyLess(b, a))
            return descending;
        return a.record < b.record;
    });
    std::vector<std::uint32_t> order(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].record;
    return order;
}

std::vector<std::uint32_t> sortNumeric(const std::vector<std::string_view>& keys, bool descending)
{
    // Not-a-number keys share the largest rank and so follow every number, in file order.
    constexpr std::int64_t kNotANumber = INT64_MAX;
    std::vector<std::pair<std::int64_t, std::uint32_t>> items(keys.size());
    for (std::uint32_t r = 0; r < keys.size(); ++r) {
        std::optional<std::int32_t> value = parseSortNumber(keys[r]);
        std::int64_t rank = !value ? kNotANumber : descending ? -std::int64_t(*value) : std::int64_t(*value);
        items[r] = {rank, r};
    }
    std::sort(items.begin(), items.end());
    std::vector<std::uint32_t> order(items.size());
    for (size_t i = 0; i < items.size(); ++i)
        order[i] = items[i].second;
    return order;
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

SortKind sortKindOf(int column)
{
    return column >= 13 && column <= 15 ? SortKind::Numeric : SortKind::Text;
}

std::optional<std::int32_t> parseSortNumber(std::string_view key)
{
    size_t i = 0;
    while (i < key.size() && key[i] == ' ')
        ++i;
    bool negative = false;
    if (i < key.size() && (key[i] == '+' || key[i] == '-'))
        negative = key[i++] == '-';
    bool hex = false;
    if (i < key.size() && (key[i] == '$' || key[i] == 'x' || key[i] == 'X')) {
        hex = true;
        ++i;
    } else if (i + 1 < key.size() && key[i] == '0' && (key[i + 1] == 'x' || key[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i == key.size())
        return std::nullopt;
    std::uint64_t magnitude = 0;
    for (; i < key.size(); ++i) {
        int digit = hex ? hexDigit(key[i]) : (key[i] >= '0' && key[i] <= '9' ? key[i] - '0' : -1);
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * (hex ? 16 : 10) + static_cast<std::uint64_t>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return std::nullopt;
    }
    if (hex) { // eight hexadecimal digits fill the 32 bits, sign bit included
        auto bits = static_cast<std::uint32_t>(magnitude);
        return static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    std::int64_t value = negative ? -static_cast<std::int64_t>(magnitude) : static_cast<std::int64_t>(magnitude);
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::vector<std::uint32_t> MyTStringsCustomSort(const RecordStore& store, int column, bool descending,
                                                SortKind kind)
{
    const std::vector<std::string_view> keys = keysOf(store, column);
    return kind == SortKind::Numeric ? sortNumeric(keys, descending) : sortText(keys, descending);
}

} // namespace quill
