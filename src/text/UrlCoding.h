#pragma once
// URL escapes and UTF-8 bytes to and from GBK text.

#include "platform/Status.h"

#include <string>
#include <string_view>

namespace quill {

// The bytes that the URL escapes of `text` name: "+" is a space, "%%" one "%", "%XX" the byte XX,
// every other byte itself. Fails on a "%" cut short by the end or followed by a non-hex digit.
Result<std::string> urlDecode(std::string_view text);

// UTF-8 `bytes`, decoded to UTF-16 without any validation, as GBK text (code page 936, the only
// one the program converts to); the text ends at the first U+0000.
std::string utf8ToCodePage(std::string_view bytes);

// Every byte of `text` as "%" and two upper-case hex digits.
std::string urlEncode(std::string_view text);

} // namespace quill
