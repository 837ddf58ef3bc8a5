#include "logs/HeaderTracker.h"

#include "logs/HeaderStep.h"
#include "platform/LineScan.h"

namespace quill {
namespace {

// A 0x1A ends the file when only bytes <= 0x20 separate it from the previous line end. Bytes
// before `insideUpTo` are known to belong to a line.
bool standsBetweenLines(const LogBlock& block, size_t z, size_t insideUpTo)
{
    const char* data = block.data;
    for (size_t i = z; i > insideUpTo; --i) {
        auto c = static_cast<unsigned char>(data[i - 1]);
        if (c == '\r' || c == '\n')
            return true;
        if (c > 0x20)
            return false;
    }
    if (insideUpTo > 0)
        return false;
    return !block.startsFile; // a later block starts right after a line end
}

} // namespace

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

bool HeaderTracker::scanBlock(LogBlock& block)
{
    block.transitions.push_back({0, m_mapId, m_map});
    const char* data = block.data;
    const char* end = data + block.size;
    size_t insideUpTo = 0;  // bytes before this are inside lines or already judged
    size_t searchFrom = 0;  // 0, or the line end of the last line looked at
    for (const char* hit = findEither(data, end, '#', 0x1A); hit < end; hit = findEither(hit, end, '#', 0x1A)) {
        const auto h = static_cast<size_t>(hit - data);
        if (*hit == 0x1A) {
            if (standsBetweenLines(block, h, insideUpTo)) {
                block.size = h;
                return true;
            }
            insideUpTo = h + 1;
            ++hit;
            continue;
        }
        const size_t before = searchFrom + afterLastLineEnd(data + searchFrom, h - searchFrom);
        const char* start = data + before;
        if (before > 0 || !block.startsFile)
            start = skipBlankBytes(start, hit);
        size_t blanks = 0, firstHigh = 0;
        const char* lineEnd = findLineEnd(start, end, blanks, firstHigh);
        if (!isDataLine(start, static_cast<size_t>(lineEnd - start), blanks))
            applyHeader(block, std::string_view(start, static_cast<size_t>(lineEnd - start)),
                        static_cast<size_t>(lineEnd - data));
        if (m_tooManyMaps)
            return true;
        // A 0x1A inside this line is no end mark; one right after its line end may be.
        insideUpTo = searchFrom = static_cast<size_t>(lineEnd - data);
        hit = lineEnd;
    }
    return false;
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
