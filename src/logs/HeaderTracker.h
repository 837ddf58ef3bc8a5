#pragma once
// The sequential part of a load, run on each block in file order before a worker sees it: finds
// the 0x1A that ends the file and applies every header line, so each block knows its field maps.

#include "logs/LogBlock.h"

#include <string>
#include <unordered_map>

namespace quill {

class HeaderTracker {
public:
    // A record names its field map by an id below `maxMaps`; the `known` maps keep their ids.
    HeaderTracker(LogFormat& format, FieldMap& map, std::uint32_t maxMaps, const std::vector<FieldMap>& known = {});

    // Applies the block's header lines, records where its field map changes, and cuts the block
    // at a 0x1A standing between lines; returns true when it found one (the file ends there) or
    // when the file holds more distinct field maps than ids.
    bool scanBlock(LogBlock& block);
    bool tooManyMaps() const { return m_tooManyMaps; }

    // Every distinct map met, indexed by map id.
    std::vector<FieldMap> takeMaps() { return std::move(m_maps); }
    const std::vector<FieldMap>& maps() const { return m_maps; }

private:
    std::uint32_t idOf(const FieldMap& map);
    void applyHeader(LogBlock& block, std::string_view line, size_t lineEnd);

    LogFormat& m_format;
    FieldMap& m_map;
    std::vector<FieldMap> m_maps;
    std::unordered_map<std::string, std::uint32_t> m_ids;
    std::uint32_t m_mapId = 0;
    std::uint32_t m_maxMaps;
    bool m_tooManyMaps = false;
};

} // namespace quill
