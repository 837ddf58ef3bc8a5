#pragma once
// Pages are walked as GBK text. A page that declares another charset is converted first, so its
// title, descriptions and link texts read as they were written.

#include <string>
#include <string_view>

namespace quill {

// The charset a page declares, lower-cased: a byte-order mark, else the charset parameter of the
// HTTP Content-Type, else a <meta charset> or http-equiv declaration in the first 4 KB. Empty when
// none is declared.
std::string declaredCharset(std::string_view contentType, std::string_view body);

// The page as GBK text: converted from the charset it declares, characters GBK lacks becoming
// "?", any byte-order mark dropped. A page that declares GBK or GB2312, none, or a charset the
// converter does not know keeps its bytes.
std::string pageToGbk(std::string_view contentType, std::string body);

} // namespace quill
