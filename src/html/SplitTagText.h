#pragma once
// Splitting the text of one tag into its name and attribute entries ("href=x y", quotes removed).

#include <string>
#include <string_view>
#include <vector>

namespace quill {

// The name of `tagText`; when `attributes` is given its contents are replaced by the tag's
// attribute entries in order. An end tag gives its whole trimmed rest as name and no entries.
std::string splitTagText(std::string_view tagText, std::vector<std::string>* attributes);

// The name alone: the text before the first blank.
inline std::string tagNameOf(std::string_view tagText) { return splitTagText(tagText, nullptr); }

// The name an element carries: TagNameOf with a-z folded byte by byte, then trimmed.
std::string elementNameOf(std::string_view tagText);

} // namespace quill
