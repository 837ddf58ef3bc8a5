#include "ledger/LedgerCrawlers.h"

#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"

namespace quill {

const std::vector<LedgerCrawler>& ledgerCrawlers()
{
    static const std::vector<LedgerCrawler> crawlers = [] {
        std::vector<LedgerCrawler> list;
        const std::string search = gbk("搜索引擎");
        const std::string other = gbk("其他");
        for (int row = 1; row <= kCrawlerRowCount; ++row) {
            // The code browser and the domain-information service are no search engines.
            const bool searches = row != 11 && row != 12;
            list.push_back({crawlerDisplayName(row), searches ? search : other, row});
        }
        return list;
    }();
    return crawlers;
}

int crawlerOfAgent(std::string_view agent) { return crawlerRowOf(agent); }

} // namespace quill
