#pragma once
// The sequential part of a load, run on each block in file order once a worker has found its
// lines: applies every header line and ends the file at its 0x1A, so each block knows its field maps.

#include "logs/LineMatcher.h"
#include "logs/LogBlock.h"

#include <optional>
#include <string>
#include <unordered_map>

namespace quill {

class HeaderTracker {
public:
    // A record names its field map by an id below `maxMaps`; the `known` maps keep their ids.
    HeaderTracker(LogFormat& format, FieldMap& map, std::uint32_t maxMaps, const std::vector<FieldMap>& known = {});

    // Applies the block's header lines (spans of the block, in order), records where its field map
    // changes, and cuts the block at `endMark`; returns true when there is one (the file ends
    // there) or when the file holds more distinct field maps than ids.
    bool applyBlock(LogBlock& block, const std::vector<LineSpan>& headerLines, std::optional<size_t> endMark);
    // The same for a reader that has not split the block into lines: finds the header lines and
    // the end mark by looking only at each "#" and 0x1A.
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
