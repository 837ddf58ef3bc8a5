#pragma once
// The texts the log search looks for. With the encoded forms wanted, a text is also found where a
// browser or crawler left it percent-encoded in an address, a query or a referrer.

#include <string>
#include <string_view>
#include <vector>

namespace quill {

// `text` (GBK) first and, when `encoded` is set, its percent-encoded forms: every byte above 0x7F
// as "%XX", once of the GBK bytes and once of the UTF-8 bytes; every blank as "+" and as "%20";
// every other ASCII character as typed, as browsers leave letters and digits. The hex digits are
// upper-case; the search ignores ASCII case, so "%c8" is found too. No form twice; none for an
// empty text.
std::vector<std::string> searchForms(std::string_view text, bool encoded);

} // namespace quill
