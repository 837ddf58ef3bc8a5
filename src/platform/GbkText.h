#pragma once
// Primitives over GBK text: a byte 0x81-0xFE followed by another byte is one double-byte
// character, so searches walk the text from its start and match only on character boundaries.
// "Ignoring case" folds the ASCII letters a-z of single-byte characters only.

#include <string>
#include <string_view>
#include <vector>

namespace quill {

inline bool isGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Length in bytes of the character starting at `pos` (1 or 2; 1 for a lead byte at the end).
size_t gbkCharLength(std::string_view text, size_t pos);

// True when `pos` starts a character of `text` walked from its start, or is its end.
bool isCharBoundary(std::string_view text, size_t pos);

// ASCII letters of single-byte characters upper-cased; double-byte characters untouched.
std::string upperAscii(std::string_view text);

// A search text prepared once for repeated case-insensitive searches.
class CaselessNeedle {
public:
    explicit CaselessNeedle(std::string_view needle);
    size_t size() const { return m_bytes.size(); }
    // True when the needle occurs at byte `pos` of `hay` (not checking that `pos` is a boundary).
    bool matchesAt(std::string_view hay, size_t pos) const;
    // First occurrence at or after the character boundary `from`; npos when absent or empty.
    size_t findIn(std::string_view hay, size_t from = 0) const;

private:
    std::string m_bytes;       // single-byte letters folded
    std::vector<bool> m_trail; // trail bytes compare exactly: a trail byte 0x61 is not the letter a
};

// Byte position of the first occurrence of `needle` at or after `from` (a character boundary),
// starting on a character boundary and ignoring case; npos when absent or when `needle` is empty.
size_t findIgnoreCase(std::string_view hay, std::string_view needle, size_t from = 0);

// Byte position of the first exact (case-sensitive) occurrence of `needle` at or after `from` (a
// character boundary) that starts on a character boundary; npos when absent or `needle` is empty.
size_t findExact(std::string_view hay, std::string_view needle, size_t from = 0);

inline bool containsIgnoreCase(std::string_view hay, std::string_view needle)
{
    return findIgnoreCase(hay, needle) != std::string_view::npos;
}

// Every occurrence of `from`, ignoring case, replaced left to right; replacements are not rescanned.
std::string replaceAllIgnoreCase(std::string_view text, std::string_view from, std::string_view to);

// `text` without leading and trailing bytes 0x00-0x20.
std::string_view trim(std::string_view text);

} // namespace quill
