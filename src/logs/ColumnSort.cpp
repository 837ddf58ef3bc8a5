#include "logs/ColumnSort.h"

#include "logs/LogTokens.h"
#include "platform/Worker.h"

#include <algorithm>
#include <cstring>
#include <numeric>

namespace quill {
namespace {

// Below this many records one thread sorts alone.
constexpr size_t kTwoThreadMinimum = 1 << 16;

// Runs work(begin, end) over [0, count): in two halves, the second on another thread, when the
// count is large enough to pay for the thread.
template <class Work>
void inTwoHalves(size_t count, Work work)
{
    if (count < kTwoThreadMinimum) {
        work(size_t(0), count);
        return;
    }
    Worker other;
    other.start([&](const std::atomic<bool>&, const Worker::Post&) { work(count / 2, count); });
    work(size_t(0), count / 2);
    other.wait();
}

// The key of record r; the line of a record a little further on is fetched meanwhile, since
// the lines lie far apart in memory.
std::string_view keyOf(const RecordStore& store, std::span<const LogRecord> records, size_t r, int column)
{
    constexpr size_t kAhead = 16;
    if (r + kAhead < records.size())
        __builtin_prefetch(records[r + kAhead].text);
    return tokenAt(records[r].line(), store.mapOf(records[r])[column]);
}

// A text key: its first 16 bytes as two big-endian numbers, so most comparisons need no memcmp.
struct TextItem {
    std::uint64_t high;
    std::uint64_t low;
    const char* key;
    std::uint32_t keyLength;
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

bool keyLess(const TextItem& a, const TextItem& b)
{
    if (a.high != b.high)
        return a.high < b.high;
    if (a.low != b.low)
        return a.low < b.low;
    if (a.keyLength > 16 && b.keyLength > 16)
        return std::string_view(a.key + 16, a.keyLength - 16) < std::string_view(b.key + 16, b.keyLength - 16);
    return a.keyLength < b.keyLength;
}

// Each half sorted on its own thread, then the halves merged into record numbers.
std::vector<std::uint32_t> sortText(const RecordStore& store, int column, bool descending)
{
    const auto records = store.records();
    std::vector<TextItem> items(records.size());
    inTwoHalves(items.size(), [&](size_t begin, size_t end) {
        for (size_t r = begin; r < end; ++r) {
            const std::string_view key = keyOf(store, records, r, column);
            items[r] = {bigEndian8(key.data(), key.size()), key.size() > 8 ? bigEndian8(key.data() + 8, key.size() - 8) : 0,
                        key.data(), static_cast<std::uint32_t>(key.size()), static_cast<std::uint32_t>(r)};
        }
    });
    auto less = [descending](const TextItem& a, const TextItem& b) {
        if (keyLess(a, b))
            return !descending;
        if (keyLess(b, a))
            return descending;
        return a.record < b.record;
    };
    const size_t middle = items.size() < kTwoThreadMinimum ? items.size() : items.size() / 2;
    inTwoHalves(items.size(), [&](size_t begin, size_t end) {
        const auto first = items.begin() + static_cast<std::ptrdiff_t>(begin);
        const auto last = items.begin() + static_cast<std::ptrdiff_t>(end);
        if (!std::is_sorted(first, last, less)) // a log's dates and times mostly are
            std::sort(first, last, less);
    });
    std::vector<std::uint32_t> order(items.size());
    size_t a = 0, b = middle, out = 0;
    while (a < middle && b < items.size())
        order[out++] = less(items[b], items[a]) ? items[b++].record : items[a++].record;
    while (a < middle)
        order[out++] = items[a++].record;
    while (b < items.size())
        order[out++] = items[b++].record;
    return order;
}

// Stable sort of (rank << 32 | record) items by their 32-bit rank, 11 bits per pass; a pass in
// which every item has the same digit is skipped.
void radixSortByRank(std::vector<std::uint64_t>& items)
{
    constexpr int kDigitBits = 11;
    constexpr size_t kBuckets = size_t(1) << kDigitBits;
    std::vector<std::uint64_t> spare(items.size());
    for (int shift = 32; shift < 64; shift += kDigitBits) {
        std::vector<size_t> starts(kBuckets + 1, 0);
        for (std::uint64_t item : items)
            ++starts[((item >> shift) & (kBuckets - 1)) + 1];
        if (std::find(starts.begin(), starts.end(), items.size()) != starts.end())
            continue;
        for (size_t d = 1; d <= kBuckets; ++d)
            starts[d] += starts[d - 1];
        for (std::uint64_t item : items)
            spare[starts[(item >> shift) & (kBuckets - 1)]++] = item;
        items.swap(spare);
    }
}

// Numbers ranked by value (flipped when descending), then the keys that are not numbers, which
// follow every number in file order in both directions.
std::vector<std::uint32_t> sortNumeric(const RecordStore& store, int column, bool descending)
{
    const auto records = store.records();
    std::vector<std::uint64_t> ranks(records.size());
    inTwoHalves(ranks.size(), [&](size_t begin, size_t end) {
        for (size_t r = begin; r < end; ++r) {
            const std::optional<std::int32_t> value = parseSortNumber(keyOf(store, records, r, column));
            std::uint64_t rank = UINT64_MAX;
            if (value) {
                const std::uint32_t biased = static_cast<std::uint32_t>(*value) ^ 0x80000000u;
                rank = std::uint64_t(descending ? ~biased : biased) << 32 | r;
            }
            ranks[r] = rank;
        }
    });
    std::vector<std::uint64_t> numbers;
    numbers.reserve(ranks.size());
    std::vector<std::uint32_t> notNumbers;
    for (size_t r = 0; r < ranks.size(); ++r) {
        if (ranks[r] != UINT64_MAX)
            numbers.push_back(ranks[r]);
        else
            notNumbers.push_back(static_cast<std::uint32_t>(r));
    }
    std::vector<std::uint64_t>().swap(ranks);
    radixSortByRank(numbers);
    std::vector<std::uint32_t> order(numbers.size());
    std::transform(numbers.begin(), numbers.end(), order.begin(), [](std::uint64_t item) { return static_cast<std::uint32_t>(item); });
    order.insert(order.end(), notNumbers.begin(), notNumbers.end());
    return order;
}

// Puts each record from firstNew to count (taken in `less` order) after the earlier rows that do
// not sort after it. `less` breaks ties by record number, and the added records come last in
// file order, so equal keys keep file order as a full sort would.
template <class Less>
MergedOrder mergeRecords(const std::vector<std::uint32_t>& order, std::uint32_t firstNew, std::uint32_t count, Less less)
{
    std::vector<std::uint32_t> added(count - std::min(firstNew, count));
    std::iota(added.begin(), added.end(), firstNew);
    std::sort(added.begin(), added.end(), less);
    MergedOrder merged;
    merged.order.reserve(order.size() + added.size());
    merged.placedBefore.reserve(added.size());
    auto from = order.begin();
    for (std::uint32_t record : added) {
        const auto at = std::upper_bound(from, order.end(), record, less);
        merged.order.insert(merged.order.end(), from, at);
        merged.order.push_back(record);
        merged.placedBefore.push_back(static_cast<std::uint32_t>(at - order.begin()));
        from = at;
    }
    merged.order.insert(merged.order.end(), from, order.end());
    return merged;
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

std::vector<std::uint32_t> sortByColumn(const RecordStore& store, int column, bool descending,
                                                SortKind kind)
{
    return kind == SortKind::Numeric ? sortNumeric(store, column, descending) : sortText(store, column, descending);
}

MergedOrder mergeByColumn(const RecordStore& store, const std::vector<std::uint32_t>& order, std::uint32_t firstNew,
                          int column, bool descending, SortKind kind)
{
    auto key = [&](std::uint32_t r) {
        const LogRecord& record = store.record(r);
        return tokenAt(record.line(), store.mapOf(record)[column]);
    };
    if (kind == SortKind::Text) {
        return mergeRecords(order, firstNew, store.count(), [&](std::uint32_t a, std::uint32_t b) {
            const int compared = key(a).compare(key(b));
            if (compared != 0)
                return descending ? compared > 0 : compared < 0;
            return a < b;
        });
    }
    // Numbers by value, then the keys that are not numbers, in file order in both directions.
    return mergeRecords(order, firstNew, store.count(), [&](std::uint32_t a, std::uint32_t b) {
        const std::optional<std::int32_t> x = parseSortNumber(key(a));
        const std::optional<std::int32_t> y = parseSortNumber(key(b));
        if (x && y && *x != *y)
            return descending ? *x > *y : *x < *y;
        if (x.has_value() != y.has_value())
            return x.has_value();
        return a < b;
    });
}

MergedOrder mergeByKeys(const std::vector<std::string>& keys, const std::vector<std::uint32_t>& order,
                        std::uint32_t firstNew, bool descending)
{
    return mergeRecords(order, firstNew, static_cast<std::uint32_t>(keys.size()), [&](std::uint32_t a, std::uint32_t b) {
        const int compared = keys[a].compare(keys[b]);
        if (compared != 0)
            return descending ? compared > 0 : compared < 0;
        return a < b;
    });
}

} // namespace quill
