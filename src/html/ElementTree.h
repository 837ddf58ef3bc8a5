#pragma once
// Pass 2 of a parse: the element list shaped into a tree by the nesting rules. Elements whose end
// tag may be left out are closed where the next element does not fit inside them.

#include "html/TTreeListNodes.h"

#include <vector>

namespace quill {

// Adds a node for every element of `elements` to `nodes`, closing elements as the rules say.
void BuildTree(std::vector<TUITagElement>& elements, TTreeListNodes& nodes);

} // namespace quill
