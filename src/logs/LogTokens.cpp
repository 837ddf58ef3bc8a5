#include "logs/LogTokens.h"

#include "platform/LineScan.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quill {
namespace {

// Start of the byte after the n-th blank (n >= 1) in [p, end), or nullptr when there are fewer.
const char* afterNthBlank(const char* p, const char* end, unsigned n)
{
#ifdef __SSE2__
    const __m128i blank = _mm_set1_epi8(' ');
    while (end - p >= 16) {
        __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        unsigned bits = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, blank)));
        unsigned count = popcount16(bits);
        if (count >= n) {
            while (--n > 0)
                bits &= bits - 1;
            return p + __builtin_ctz(bits) + 1;
        }
        n -= count;
        p += 16;
    }
#endif
    for (; p < end; ++p)
        if (*p == ' ' && --n == 0)
            return p + 1;
    return nullptr;
}

} // namespace

std::string_view tokenAt(std::string_view rawLine, unsigned position)
{
    if (position == 0)
        return kMissingToken;
    const char* begin = rawLine.data();
    const char* end = begin + rawLine.size();
    if (position > 1) {
        begin = afterNthBlank(begin, end, position - 1);
        if (!begin)
            return kMissingToken;
    }
    const void* blank = std::memchr(begin, ' ', static_cast<size_t>(end - begin));
    const char* tokenEnd = blank ? static_cast<const char*>(blank) : end;
    return std::string_view(begin, static_cast<size_t>(tokenEnd - begin));
}

size_t tokenCount(std::string_view rawLine)
{
    return static_cast<size_t>(std::count(rawLine.begin(), rawLine.end(), ' ')) + 2;
}

} // namespace quill
