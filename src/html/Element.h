#pragma once
// One element of a parsed page. Positions are 1-based byte indexes into the page text.

#include "html/ElementTables.h"

#include <cstddef>
#include <string>

namespace quill {

class ElementNode;

struct Element {
    // The extent is known: an end tag was found, a nesting rule closed it, or it is a declaration
    // or a raw-text block.
    bool closed = false;
    // The start tag; a raw-text block's start tag alone; a declaration whole.
    std::string rawText;
    // Upper-case name; also the key of the element in the list.
    std::string name;
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t contentStart = 0;
    std::size_t contentEnd = 0;
    std::size_t index = 0;
    ElementNode* node = nullptr;
    // Table lookups of the name, made once when the element is created.
    bool empty = false;
    const NameSet* contentRow = nullptr; // set for an element whose end tag may be left out
};

} // namespace quill
