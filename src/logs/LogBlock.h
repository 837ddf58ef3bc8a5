#pragma once
// A block of whole log lines on its way through a load, and the line tests every stage shares.

#include "logs/FieldMap.h"
#include "logsource/LineSplitter.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace quill {

inline constexpr size_t kMinBlanksOfDataLine = 9; // 11 tokens once "- " is put in front
inline constexpr size_t kHashFreePrefix = 8;      // the first 10 characters with the prefix

// A data line has at least 11 tokens and no "#" in its first 10 characters, prefix included.
inline bool isDataLine(const char* line, size_t length, size_t blanks)
{
    return blanks >= kMinBlanksOfDataLine && !std::memchr(line, '#', std::min(length, kHashFreePrefix));
}

struct MapTransition {
    size_t offset; // applies to data lines starting at or after this block offset
    std::uint32_t mapId;
    FieldMap map;
};

struct LogBlock {
    const char* data = nullptr;    // whole lines
    size_t size = 0;
    ByteBuffer input;             // owns the lines as they were read
    size_t capacity = 0;
    size_t sequence = 0;          // place in the file, counting from 0
    bool startsFile = false;      // the first line is read as it is, without skipping blanks
    // Where these bytes stand in the file's mapping, which kept lines then point into; nullptr
    // for a log that is not mapped, whose kept lines are copied.
    const char* mappedText = nullptr;
    std::vector<MapTransition> transitions;
};

} // namespace quill
