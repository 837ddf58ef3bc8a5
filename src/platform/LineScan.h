#pragma once
// Fast byte scans the log reader runs over every line.

#include <cstddef>

namespace quill {

// Bits set in a 16-bit mask, without relying on a popcount instruction.
inline unsigned popcount16(unsigned x)
{
    x = x - ((x >> 1) & 0x5555u);
    x = (x & 0x3333u) + ((x >> 2) & 0x3333u);
    x = (x + (x >> 4)) & 0x0F0Fu;
    return (x + (x >> 8)) & 0x1Fu;
}

// First CR or LF in [p, end), or end; `blanks` receives the number of bytes 0x20 before it and
// `firstHigh` the offset from p of the first byte >= 0x80 before it (the line length if none).
const char* findLineEnd(const char* p, const char* end, size_t& blanks, size_t& firstHigh);

// Position just after the last CR or LF in [data, data + size), or 0 when there is none.
size_t afterLastLineEnd(const char* data, size_t size);

// First byte in [p, end) equal to `a` or `b`, or end.
const char* findEither(const char* p, const char* end, char a, char b);

// First byte in [p, end) that is above 0x20 or is 0x1A, or end.
const char* skipBlankBytes(const char* p, const char* end);

} // namespace quill
