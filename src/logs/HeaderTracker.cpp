#include "logs/HeaderTracker.h"

#include "logs/HeaderStep.h"
#include "logs/LineScan.h"

namespace quill {
namespace {

// A 0x1A ends the file when only bytes <= 0x20 separate it from the previous line end. Bytes
// before `insideUpTo` are known to belong to a line.
bool standsBetweenLines(const LogBlock& block, size_t z, size_t insideUpTo)
{
    const char* data = block.input.get();
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

size_t afterLastLineEnd(const char* data, size_t size)
{
    const void* lf = memrchr(data, '\n', size);
    const void* cr = memrchr(data, '\r', size);
    const char* last = std::max(static_cast<const char*>(lf), static_cast<const char*>(cr));
    return last ? static_cast<size_t>(last - data) + 1 : 0;
}

HeaderTracker::HeaderTracker(LogFormat& format, FieldMap& map) : m_format(format), m_map(map)
{
    m_mapId = idOf(map);
}

std::uint32_t HeaderTracker::idOf(const FieldMap& map)
{
    std::string key(map.slots.begin(), map.slots.end());
    auto [it, added] = m_ids.try_emplace(key, static_cast<std::uint32_t>(m_maps.size()));
    if (added)
        m_maps.push_back(map);
    return it->second;
}

bool HeaderTracker::cutAtEndMark(LogBlock& block) const
{
    const char* data = block.input.get();
    size_t insideUpTo = 0;
    for (size_t at = 0; at < block.size;) {
        const void* hit = std::memchr(data + at, 0x1A, block.size - at);
        if (!hit)
            return false;
        size_t z = static_cast<size_t>(static_cast<const char*>(hit) - data);
        if (standsBetweenLines(block, z, insideUpTo)) {
            block.size = z;
            return true;
        }
        insideUpTo = z + 1;
        at = z + 1;
    }
    return false;
}

void HeaderTracker::collectHeaders(LogBlock& block)
{
    block.transitions.push_back({0, m_mapId, m_map});
    const char* data = block.input.get();
    for (size_t at = 0; at < block.size;) {
        const void* hit = std::memchr(data + at, '#', block.size - at);
        if (!hit)
            return;
        size_t h = static_cast<size_t>(static_cast<const char*>(hit) - data);
        // `at` is 0 or the line end of the last line looked at, so the search stays short.
        size_t before = at + afterLastLineEnd(data + at, h - at);
        const char* start = data + before;
        if (before > 0 || !block.startsFile)
            start = skipBlankBytes(start, data + h);
        size_t blanks = 0, firstHigh = 0;
        const char* end = findLineEnd(start, data + block.size, blanks, firstHigh);
        if (!isDataLine(start, static_cast<size_t>(end - start), blanks)) {
            applyHeaderLine(std::string_view(start, static_cast<size_t>(end - start)), m_format, m_map);
            std::uint32_t id = idOf(m_map);
            if (id != m_mapId) {
                m_mapId = id;
                block.transitions.push_back({static_cast<size_t>(end - data), id, m_map});
            }
        }
        at = static_cast<size_t>(end - data);
    }
}

} // namespace quill
