#pragma once
// JSON string values: what rows handed to other tools are made of. The output is always valid
// JSON and valid UTF-8, whatever bytes the text held.

#include <string>
#include <string_view>

namespace quill {

// Appends `utf8` as a JSON string, quotes included: the quote and the backslash escaped, every
// byte below 0x20 as \b, \f, \n, \r, \t or \u00XX. `utf8` must be well-formed UTF-8.
void appendJsonString(std::string& out, std::string_view utf8);

// The same for GBK text, converted to UTF-8 first: a byte that starts no GBK character (a lead
// byte alone at the end or before a byte that cannot follow it, 0xFF) becomes U+FFFD.
void appendGbkJsonString(std::string& out, std::string_view gbk);

} // namespace quill
