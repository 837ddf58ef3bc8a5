#include "logs/HeaderTracker.h"

#include "logs/HeaderStep.h"

namespace quill {

HeaderTracker::HeaderTracker(LogFormat& format, FieldMap& map, std::uint32_t maxMaps, const std::vector<FieldMap>& known)
    : m_format(format), m_map(map), m_maxMaps(maxMaps)
{
    for (const FieldMap& knownMap : known)
        idOf(knownMap);
    m_mapId = idOf(map);
}

std::uint32_t HeaderTracker::idOf(const FieldMap& map)
{
    std::string key(map.positions.begin(), map.positions.end());
    key.append(map.extras.begin(), map.extras.end());
    if (m_maps.size() >= m_maxMaps && !m_ids.count(key)) {
        m_tooManyMaps = true;
        return m_mapId;
    }
    auto [it, added] = m_ids.try_emplace(key, static_cast<std::uint32_t>(m_maps.size()));
    if (added)
        m_maps.push_back(map);
    return it->second;
}

bool HeaderTracker::applyBlock(LogBlock& block, const std::vector<LineSpan>& headerLines,
                               std::optional<size_t> endMark)
{
    block.transitions.push_back({0, m_mapId, m_map});
    for (const LineSpan& line : headerLines) {
        applyHeader(block, std::string_view(block.data + line.begin, line.end - line.begin), line.end);
        if (m_tooManyMaps)
            return true;
    }
    if (!endMark)
        return false;
    block.size = *endMark;
    return true;
}

void HeaderTracker::applyHeader(LogBlock& block, std::string_view line, size_t lineEnd)
{
    applyHeaderLine(line, m_format, m_map);
    const std::uint32_t id = idOf(m_map);
    if (id != m_mapId) {
        m_mapId = id;
        block.transitions.push_back({lineEnd, id, m_map});
    }
}

} // namespace quill
