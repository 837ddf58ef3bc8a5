#pragma once
// The registry's source table, as written: names in UTF-8, lists by file name. CrawlerRegistry
// turns it into the entries the program uses.

#include "crawlers/CrawlerRegistry.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct KnownList {
    std::string_view fileName;
    std::string_view hostVariable;
    std::string_view defaultHost;
    std::string_view path;
};

struct KnownCrawler {
    std::string_view key;
    std::vector<std::string_view> tokens;
    std::string_view nameUtf8;
    CrawlerGroup group;
    std::vector<std::string_view> domains;
    std::vector<std::string_view> lists; // file names of knownLists()
    std::string source;
    std::string_view confirmed;
};

const std::vector<KnownList>& knownLists();
const std::vector<KnownCrawler>& knownCrawlers();

} // namespace quill
