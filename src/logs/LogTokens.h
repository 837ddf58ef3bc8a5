#pragma once
// Token access on a stored log line. A record's line is kept without the "- " put in front of it;
// token 0 is that "-", and token k (k >= 1) is the k-th blank-separated field of the raw line.

#include <string_view>

namespace quill {

inline constexpr std::string_view kMissingToken = "-";

// Token `position` of the prefixed line, or "-" when the line has no such token.
std::string_view tokenAt(std::string_view rawLine, unsigned position);

// Number of tokens of the prefixed line: blanks of the raw line + 2.
size_t tokenCount(std::string_view rawLine);

} // namespace quill
