#pragma once
// Conversions between code page 936 (GBK) and UTF-8 / UTF-16.

#include <optional>
#include <string>
#include <string_view>

namespace quill {

// GBK bytes to UTF-8; a byte sequence that is not GBK becomes U+FFFD.
std::string gbkToUtf8(std::string_view gbk);

// UTF-8 to GBK; a character GBK lacks, or a malformed byte, becomes "?".
std::string utf8ToGbk(std::string_view utf8);

// UTF-16 code units to GBK; a unit GBK lacks becomes "?".
std::string utf16ToGbk(std::u16string_view utf16);

// UTF-16 code units to GBK as the Windows converter gives them with its composite check: a
// character followed by a combining mark becomes the precomposed character where GBK has one,
// other marks U+0300-U+036F are dropped, and each unit GBK lacks (a surrogate too) becomes "?".
std::string utf16ToGbkComposed(std::u16string_view utf16);

// Bytes in `charset` (a name iconv knows, e.g. "utf-8", "big5", "utf-16le") as UTF-8, a malformed
// sequence becoming "?"; nothing when the charset is unknown.
std::optional<std::string> charsetToUtf8(std::string_view bytes, const std::string& charset);

// The same as GBK; characters GBK lacks become "?" too.
std::optional<std::string> charsetToGbk(std::string_view bytes, const std::string& charset);

// True when `bytes` is well-formed UTF-8.
bool isValidUtf8(std::string_view bytes);

// A program literal written in UTF-8 in the source, as GBK bytes.
inline std::string gbk(std::string_view utf8Literal) { return utf8ToGbk(utf8Literal); }

} // namespace quill
