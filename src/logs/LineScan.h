#pragma once
// Fast byte scans the log reader runs over every line.

#include <cstddef>

namespace quill {

// First CR or LF in [p, end), or end; `blanks` receives the number of bytes 0x20 before it.
const char* findLineEnd(const char* p, const char* end, size_t& blanks);

// First byte in [p, end) that is above 0x20 or is 0x1A, or end.
const char* skipBlankBytes(const char* p, const char* end);

} // namespace quill
