#pragma once
// Pass 1 of a parse: the page's elements in document order, end tags matched to their start tags,
// and the "@DOCUMENT" sentinel last.

#include "html/Element.h"
#include "platform/Status.h"

#include <atomic>
#include <cstddef>
#include <string_view>
#include <vector>

namespace quill {

// The element list of `document`; returns early, without the sentinel, once `stop` is set. A
// document of more than `maxElements` elements fails with a message.
Result<std::vector<Element>> buildElementList(std::string_view document, const std::atomic<bool>& stop,
                                              std::size_t maxElements);

} // namespace quill
