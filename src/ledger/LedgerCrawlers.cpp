#include "ledger/LedgerCrawlers.h"

#include "crawlers/CrawlerTable.h"
#include "platform/CodePage.h"

namespace quill {

const std::vector<LedgerCrawler>& ledgerCrawlers()
{
    static const std::vector<LedgerCrawler> crawlers = [] {
        std::vector<LedgerCrawler> list;
        for (int row = 1; row <= kCrawlerRowCount; ++row) {
            const CrawlerId known = crawlerOfRow(row);
            const std::string& group = crawlerGroupName(known != kNoCrawler ? crawlerEntry(known).group
                                                                            : CrawlerGroup::Search);
            list.push_back({crawlerDisplayName(row), group, known});
        }
        for (size_t i = 0; i < crawlerRegistry().size(); ++i) {
            const CrawlerEntry& entry = crawlerRegistry()[i];
            list.push_back({entry.name, crawlerGroupName(entry.group), static_cast<CrawlerId>(i + 1)});
        }
        return list;
    }();
    return crawlers;
}

int crawlerOfAgent(std::string_view agent)
{
    if (const int row = crawlerRowOf(agent); row != 0)
        return row;
    const CrawlerId id = identifyUserAgent(agent);
    return id == kNoCrawler ? 0 : kCrawlerRowCount + id;
}

} // namespace quill
