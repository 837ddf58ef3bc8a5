#pragma once
// Helpers for the parser tests: a parse on the calling thread, a compact picture of a tree, and
// the checks every tree must pass.

#include "html/ParsedPage.h"

#include <memory>
#include <string>
#include <string_view>

namespace quill::test {

std::unique_ptr<ParsedPage> parseNow(std::string_view text);

// The root's children as "NAME[inner text](children)", siblings separated by one blank; the
// brackets are left out when empty.
std::string shape(const ParsedPage& page);

// Adds a test failure for every broken invariant: the root's last child is "@DOCUMENT", every
// element has exactly one node, depth-first order is document order, and content ranges that give
// text lie inside the page.
void expectSoundTree(const ParsedPage& page);

} // namespace quill::test
