#include "platform/LineScan.h"

#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#define QUILL_HAVE_AVX2_SCANS 1
#include <immintrin.h>
#endif

namespace quill {

#ifdef __SSE2__
namespace {

// Sum of the 16 byte lanes of `counts`.
size_t sumLanes(__m128i counts)
{
    __m128i sums = _mm_sad_epu8(counts, _mm_setzero_si128());
    return static_cast<size_t>(_mm_cvtsi128_si32(sums) + _mm_extract_epi16(sums, 4));
}

} // namespace
#endif

namespace {

const char* findLineEnd16(const char* p, const char* end, size_t& blanks, size_t& firstHigh)
{
    const char* const start = p;
    const char* high = nullptr;
    size_t count = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i blank = _mm_set1_epi8(' ');
    __m128i laneCounts = _mm_setzero_si128(); // blanks per byte lane, flushed before a lane overflows
    int rounds = 0;
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        const auto highBits = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (ends) {
            const auto at = static_cast<unsigned>(__builtin_ctz(ends));
            const unsigned before = (1u << at) - 1;
            const auto blankBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank)));
            blanks = count + sumLanes(laneCounts) + popcount16(blankBits & before);
            if (!high && (highBits & before))
                high = p + __builtin_ctz(highBits & before);
            firstHigh = static_cast<size_t>((high ? high : p + at) - start);
            return p + at;
        }
        if (!high && highBits)
            high = p + __builtin_ctz(highBits);
        laneCounts = _mm_sub_epi8(laneCounts, _mm_cmpeq_epi8(bytes, blank));
        if (++rounds == 255) {
            count += sumLanes(laneCounts);
            laneCounts = _mm_setzero_si128();
            rounds = 0;
        }
        p += 16;
    }
    count += sumLanes(laneCounts);
#endif
    for (; p < end && *p != '\r' && *p != '\n'; ++p) {
        count += (*p == ' ');
        if (!high && (*p & 0x80))
            high = p;
    }
    blanks = count;
    firstHigh = static_cast<size_t>((high ? high : p) - start);
    return p;
}

const char* findEither16(const char* p, const char* end, char a, char b)
{
#ifdef __SSE2__
    const __m128i first = _mm_set1_epi8(a);
    const __m128i second = _mm_set1_epi8(b);
    while (end - p >= 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto hits = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second))));
        if (hits)
            return p + __builtin_ctz(hits);
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == a || *p == b)
            return p;
    return end;
}

#ifdef QUILL_HAVE_AVX2_SCANS
// The same scans 32 bytes at a time, on processors that have AVX2; the last bytes go to the
// 16-byte versions.
__attribute__((target("avx2,popcnt"))) const char* findLineEnd32(const char* p, const char* end, size_t& blanks,
                                                                 size_t& firstHigh)
{
    const char* const start = p;
    const char* high = nullptr;
    size_t count = 0;
    const __m256i cr = _mm256_set1_epi8('\r');
    const __m256i lf = _mm256_set1_epi8('\n');
    const __m256i blank = _mm256_set1_epi8(' ');
    while (end - p >= 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const auto ends = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_or_si256(_mm256_cmpeq_epi8(bytes, cr), _mm256_cmpeq_epi8(bytes, lf))));
        const auto blankBits = static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, blank)));
        const auto highBits = static_cast<unsigned>(_mm256_movemask_epi8(bytes));
        if (ends) {
            const auto at = static_cast<unsigned>(__builtin_ctz(ends));
            const unsigned before = (1u << at) - 1;
            blanks = count + static_cast<size_t>(__builtin_popcount(blankBits & before));
            if (!high && (highBits & before))
                high = p + __builtin_ctz(highBits & before);
            firstHigh = static_cast<size_t>((high ? high : p + at) - start);
            return p + at;
        }
        if (!high && highBits)
            high = p + __builtin_ctz(highBits);
        count += static_cast<size_t>(__builtin_popcount(blankBits));
        p += 32;
    }
    size_t restBlanks = 0, restHigh = 0;
    const char* lineEnd = findLineEnd16(p, end, restBlanks, restHigh);
    blanks = count + restBlanks;
    firstHigh = high ? static_cast<size_t>(high - start) : static_cast<size_t>(p - start) + restHigh;
    return lineEnd;
}

__attribute__((target("avx2"))) const char* findEither32(const char* p, const char* end, char a, char b)
{
    const __m256i first = _mm256_set1_epi8(a);
    const __m256i second = _mm256_set1_epi8(b);
    while (end - p >= 32) {
        const __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const auto hits = static_cast<unsigned>(_mm256_movemask_epi8(
            _mm256_or_si256(_mm256_cmpeq_epi8(bytes, first), _mm256_cmpeq_epi8(bytes, second))));
        if (hits)
            return p + __builtin_ctz(hits);
        p += 32;
    }
    return findEither16(p, end, a, b);
}

const bool g_hasAvx2 = [] {
    __builtin_cpu_init(); // this may run before the compiler's own start-up code has
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt");
}();
#endif

} // namespace

const char* findLineEnd(const char* p, const char* end, size_t& blanks, size_t& firstHigh)
{
#ifdef QUILL_HAVE_AVX2_SCANS
    if (g_hasAvx2)
        return findLineEnd32(p, end, blanks, firstHigh);
#endif
    return findLineEnd16(p, end, blanks, firstHigh);
}

const char* findEither(const char* p, const char* end, char a, char b)
{
#ifdef QUILL_HAVE_AVX2_SCANS
    if (g_hasAvx2)
        return findEither32(p, end, a, b);
#endif
    return findEither16(p, end, a, b);
}

size_t afterLastLineEnd(const char* data, size_t size)
{
    const void* lf = memrchr(data, '\n', size);
    const char* from = lf ? static_cast<const char*>(lf) + 1 : data;
    const void* cr = memrchr(from, '\r', static_cast<size_t>(data + size - from));
    const char* last = cr ? static_cast<const char*>(cr) : static_cast<const char*>(lf);
    return last ? static_cast<size_t>(last - data) + 1 : 0;
}

const char* skipBlankBytes(const char* p, const char* end)
{
#ifdef __SSE2__
    const __m128i limit = _mm_set1_epi8(0x21);
    const __m128i eof = _mm_set1_epi8(0x1A);
    while (end - p >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        // max(b, 0x21) == b exactly when b >= 0x21, as unsigned bytes.
        __m128i above = _mm_cmpeq_epi8(_mm_max_epu8(bytes, limit), bytes);
        unsigned stop = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(above, _mm_cmpeq_epi8(bytes, eof))));
        if (stop)
            return p + __builtin_ctz(stop);
        p += 16;
    }
#endif
    for (; p < end; ++p) {
        auto c = static_cast<unsigned char>(*p);
        if (c > 0x20 || c == 0x1A)
            return p;
    }
    return end;
}

} // namespace quill
