#pragma once
// Which crawler a visit came from, as the ledger names it. All naming goes through here, so the
// ledger follows whatever the program knows about crawlers.

#include <string>
#include <string_view>
#include <vector>

namespace quill {

struct LedgerCrawler {
    std::string name;  // GBK display name; what the ledger file keeps (as UTF-8)
    std::string group; // GBK: 搜索引擎, 其他, ...
    int tableRow = 0;  // crawler table row the DNS check knows it by; 0: none
};

// Every crawler the ledger can name; crawler k is element k - 1.
const std::vector<LedgerCrawler>& ledgerCrawlers();

// The crawler a user-agent field names (the whole line where a file has no such field): its
// number in ledgerCrawlers(), or 0 for any other visitor.
int crawlerOfAgent(std::string_view agent);

} // namespace quill
