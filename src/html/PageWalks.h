#pragma once
// The two walks over a parsed page that list its title, description and keywords, and its links,
// as the lines the results area shows.

#include "html/ParsedPage.h"

#include <string>
#include <vector>

namespace quill {

// Appends the title, description and keywords lines found below `node`, each element after its
// descendants.
void collectHeaderInfo(const ParsedPage& page, const ElementNode& node, std::vector<std::string>& lines);

// Appends "text: address" for every href of every link below `node`; links inside a link are not
// looked at.
void collectLinks(const ParsedPage& page, const ElementNode& node, std::vector<std::string>& lines);

// The walks as the page tools run them: once for each child of the root, so an element that is
// itself a child of the root is never examined. A page that was not parsed gives no lines.
std::vector<std::string> pageHeaderLines(const ParsedPage& page);
std::vector<std::string> pageLinkLines(const ParsedPage& page);

} // namespace quill
