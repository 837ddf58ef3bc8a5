#include "logs/RecordStore.h"

#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"

namespace quill {

std::string_view RecordStore::agent(const LogRecord& record) const
{
    if (record.crawlerRow() != 0)
        return crawlerDisplayName(record.crawlerRow());
    return tokenAt(record.line(), mapOf(record)[kColUserAgent]);
}

void RecordStore::clear()
{
    m_records = RecordArray();
    std::vector<std::unique_ptr<TextArena>>().swap(m_arenas);
    m_mapping.reset();
    m_mappedBytes = 0;
    std::vector<FieldMap>().swap(m_maps);
    std::vector<std::uint32_t>().swap(m_order);
}

void RecordStore::assign(RecordArray records, std::vector<std::unique_ptr<TextArena>> arenas,
                         std::unique_ptr<MappedFile> mapping, size_t mappedBytes, std::vector<FieldMap> maps)
{
    m_records = std::move(records);
    m_arenas = std::move(arenas);
    m_mapping = std::move(mapping);
    m_mappedBytes = mappedBytes;
    m_maps = std::move(maps);
    restoreFileOrder();
}

} // namespace quill
