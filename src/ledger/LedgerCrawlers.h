#pragma once
// Which crawler a visit came from, as the ledger names it: the crawler table for the crawlers it
// describes, the registry of today's crawlers for the rest. All naming goes through here.

#include "crawlers/CrawlerRegistry.h"

#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct LedgerCrawler {
    std::string name;  // GBK display name; what the ledger file keeps (as UTF-8)
    std::string group; // GBK: 搜索引擎, AI 训练, ...
    CrawlerId checkAs = kNoCrawler; // the crawler the check verifies a visit as; none: not checked
};

// Every crawler the ledger can name: the crawler table's thirteen rows, then the registry's
// entries; crawler k is element k - 1.
const std::vector<LedgerCrawler>& ledgerCrawlers();

// The crawler a user-agent field names (the whole line where a file has no such field): its
// number in ledgerCrawlers(), or 0 for any other visitor.
int crawlerOfAgent(std::string_view agent);

} // namespace quill
