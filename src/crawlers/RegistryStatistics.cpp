#include "crawlers/RegistryStatistics.h"

#include "crawlers/CrawlerFileStats.h"
#include "platform/CodePage.h"

#include <algorithm>

namespace quill {

CrawlerSet allCrawlers()
{
    CrawlerSet set;
    for (size_t id = 1; id <= crawlerRegistry().size(); ++id)
        set.set(id);
    return set;
}

std::vector<RegistryColumn> registryColumns(RegistryView view, const std::vector<RegistryFileStats>& rows,
                                            size_t topCount, const CrawlerSet& only)
{
    const auto& registry = crawlerRegistry();
    std::vector<RegistryColumn> columns;
    if (view == RegistryView::Groups) {
        for (int g = 0; g < kCrawlerGroupCount; ++g) {
            RegistryColumn column{crawlerGroupName(static_cast<CrawlerGroup>(g)), {}};
            for (size_t id = 1; id <= registry.size(); ++id)
                if (only.test(id) && registry[id - 1].group == static_cast<CrawlerGroup>(g))
                    column.members.set(id);
            if (column.members.any())
                columns.push_back(std::move(column));
        }
        return columns;
    }
    std::vector<std::int64_t> totals(registry.size() + 1, 0);
    for (const RegistryFileStats& row : rows)
        if (row.counts)
            for (size_t id = 1; id < totals.size() && id < row.counts->size(); ++id)
                totals[id] += (*row.counts)[id];
    std::vector<size_t> ranked;
    for (size_t id = 1; id < totals.size(); ++id)
        if (only.test(id) && totals[id] > 0)
            ranked.push_back(id);
    std::stable_sort(ranked.begin(), ranked.end(), [&](size_t a, size_t b) { return totals[a] > totals[b]; });
    ranked.resize(std::min(ranked.size(), topCount));
    CrawlerSet rest = only;
    for (size_t id : ranked) {
        RegistryColumn column{registry[id - 1].name, {}};
        column.members.set(id);
        rest.reset(id);
        columns.push_back(std::move(column));
    }
    columns.push_back({gbk("其余"), rest});
    return columns;
}

std::vector<std::int64_t> registryRowCounts(const RegistryFileStats& row, const std::vector<RegistryColumn>& columns)
{
    std::vector<std::int64_t> counts;
    if (!row.counts)
        return counts;
    for (const RegistryColumn& column : columns) {
        std::int64_t sum = 0;
        for (size_t id = 1; id < row.counts->size(); ++id)
            if (column.members.test(id))
                sum += (*row.counts)[id];
        counts.push_back(sum);
    }
    return counts;
}

std::vector<std::string> registryRowTexts(const RegistryFileStats& row, const std::vector<RegistryColumn>& columns)
{
    std::vector<std::string> texts = {row.fileName, row.sizeText};
    const std::vector<std::int64_t> counts = registryRowCounts(row, columns);
    for (size_t i = 0; i < columns.size(); ++i)
        texts.push_back(counts.empty() ? std::string() : std::to_string(counts[i]));
    return texts;
}

std::vector<std::string> registryCaptions(const std::vector<RegistryColumn>& columns)
{
    const auto& described = statisticsListColumns();
    std::vector<std::string> captions = {described[0].caption, described[1].caption};
    for (const RegistryColumn& column : columns)
        captions.push_back(column.caption);
    return captions;
}

} // namespace quill
