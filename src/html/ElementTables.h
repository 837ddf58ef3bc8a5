#pragma once
// The nesting tables of the element tree: elements without content, elements whose end tag may be
// left out, and what each of the latter may contain. Built once, read-only afterwards.

#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace quill {

using NameSet = std::unordered_set<std::string_view>;
// Parent name -> the names it may contain.
using ContentTable = std::unordered_map<std::string_view, const NameSet*>;

struct ElementTables {
    NameSet emptyElements;
    NameSet optionalEndElements;
    ContentTable contentRows;
};

const ElementTables& elementTables();

} // namespace quill
