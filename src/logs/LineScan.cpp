#include "logs/LineScan.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quill {

const char* findLineEnd(const char* p, const char* end, size_t& blanks)
{
    size_t count = 0;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    const __m128i blank = _mm_set1_epi8(' ');
    while (end - p >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned ends = static_cast<unsigned>(
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(bytes, cr), _mm_cmpeq_epi8(bytes, lf))));
        unsigned blankBits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank)));
        if (ends) {
            unsigned at = static_cast<unsigned>(__builtin_ctz(ends));
            blanks = count + static_cast<size_t>(__builtin_popcount(blankBits & ((1u << at) - 1)));
            return p + at;
        }
        count += static_cast<size_t>(__builtin_popcount(blankBits));
        p += 16;
    }
#endif
    for (; p < end && *p != '\r' && *p != '\n'; ++p)
        count += (*p == ' ');
    blanks = count;
    return p;
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
