#include "logs/RecordStore.h"

#include "crawlers/CrawlerTable.h"
#include "logs/LogTokens.h"

#include <algorithm>
#include <new>

namespace quill {

std::string_view RecordStore::agent(const LogRecord& record) const
{
    if (record.crawlerRow() != 0)
        return crawlerDisplayName(record.crawlerRow());
    return tokenAt(record.line(), mapOf(record)[kColUserAgent]);
}

bool RecordStore::append(std::span<const LogRecord> records, const std::shared_ptr<TextArena>& text,
                         const std::vector<FieldMap>& newMaps)
{
    try {
        m_maps.reserve(m_maps.size() + newMaps.size());
        m_appendedText.reserve(m_appendedText.size() + 1);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (!m_records.append(records))
        return false;
    m_maps.insert(m_maps.end(), newMaps.begin(), newMaps.end());
    if (text && std::find(m_appendedText.begin(), m_appendedText.end(), text) == m_appendedText.end())
        m_appendedText.push_back(text);
    return true;
}

void RecordStore::clear()
{
    m_records = RecordArray();
    std::vector<std::unique_ptr<TextArena>>().swap(m_arenas);
    std::vector<std::shared_ptr<TextArena>>().swap(m_appendedText);
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
    std::vector<std::shared_ptr<TextArena>>().swap(m_appendedText);
    m_mapping = std::move(mapping);
    m_mappedBytes = mappedBytes;
    m_maps = std::move(maps);
    restoreFileOrder();
}

} // namespace quill
