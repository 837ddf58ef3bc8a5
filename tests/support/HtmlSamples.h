#pragma once
// Pages for the parser's tests and benchmarks, as GBK bytes.

#include <cstddef>
#include <string>

namespace quill::test {

// A small portal page as such sites write it: unclosed paragraphs, list items and cells, scripts,
// comments, Chinese link texts.
std::string portalPage();

// About `bytes` bytes of varied markup of that kind, the same for the same seed.
std::string realLookingPage(std::size_t bytes, unsigned seed);

} // namespace quill::test
