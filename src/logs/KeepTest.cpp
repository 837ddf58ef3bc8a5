#include "logs/KeepTest.h"

#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"
#include "logs/SearchForms.h"
#include "platform/GbkText.h"

#include <algorithm>
#include <string>
#include <vector>

namespace quill {

bool passesCrawlerFilters(std::string_view rawLine, int crawlerRow, const FilterSnapshot& filters,
                          const FieldMap& map)
{
    if (filters.ownXmlHttp
        && tokenAt(rawLine, map[kColClientIp]) == tokenAt(rawLine, map[kColServerIp]))
        return false;
    const std::string& name = crawlerDisplayName(crawlerRow);
    if (filters.spiders) {
        if (name.empty())
            return false;
        const EngineNames& engines = engineNames();
        const bool engine = (filters.baidu && name == engines.baidu) || (filters.google && name == engines.google)
            || (filters.soso && name == engines.soso) || (filters.yahoo && name == engines.yahoo)
            || (filters.sogou && name == engines.sogou) || (filters.msn && name == engines.msn)
            || (filters.youdao && name == engines.youdao);
        if (!engine)
            return false;
    } else if (filters.noSpiders && !name.empty()) {
        return false;
    }
    return !filters.onlyRegistryCrawlers
        || filters.registryCrawlers.test(identifyUserAgent(tokenAt(rawLine, map[kColUserAgent])));
}

KeepDecision keepTest(std::string_view rawLine, const FilterSnapshot& filters, const FieldMap& map)
{
    const std::string line = "- " + std::string(rawLine);
    auto containsAny = [&](std::initializer_list<std::string_view> needles) {
        for (std::string_view needle : needles)
            if (containsIgnoreCase(line, needle))
                return true;
        return false;
    };
    KeepDecision decision;
    if (filters.images && containsAny({".gif ", ".jpg ", ".css "}))
        return decision;
    if (filters.audio && containsAny({".mp3 ", ".wma ", ".wmv "}))
        return decision;
    if (filters.status200 && containsIgnoreCase(line, " 200 "))
        return decision;
    if (!filters.search.empty()) {
        const std::vector<std::string> forms = searchForms(filters.search, filters.searchEncoded);
        if (std::none_of(forms.begin(), forms.end(), [&](const std::string& form) { return containsIgnoreCase(line, form); }))
            return decision;
    }
    decision.crawlerRow = crawlerRowOf(line);
    decision.keep = passesCrawlerFilters(rawLine, decision.crawlerRow, filters, map);
    return decision;
}

} // namespace quill
