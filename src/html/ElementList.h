#pragma once
// Pass 1 of a parse: the page's elements in document order, end tags matched to their start tags,
// and the "@DOCUMENT" sentinel last.

#include "html/Element.h"

#include <atomic>
#include <string_view>
#include <vector>

namespace quill {

// The element list of `document`; returns early, without the sentinel, once `stop` is set.
std::vector<Element> buildElementList(std::string_view document, const std::atomic<bool>& stop);

} // namespace quill
