#pragma once
// Splits a block into its data lines and runs the keep test on them. Kept lines of a read block
// are copied into the worker's text arena; those of a mapped file stay where they are.
//
// A block goes through in two steps so that one pass over its bytes serves both the header lines
// and the data lines: findLines, then (once the header lines of this and every earlier block are
// applied, which gives the block its field maps) keepLines.

#include "logs/LineMatcher.h"
#include "logs/LogBlock.h"
#include "logs/LogRecord.h"
#include "logs/TextArena.h"

#include <optional>

namespace quill {

enum class BlockOutcome { Done, OutOfMemory, LineTooLong };

class BlockWorker {
public:
    // Lines longer than `maxLine` bytes are refused.
    BlockWorker(const LineMatcher& matcher, TextArena& arena, size_t maxLine);

    // Finds the block's data lines and runs the search on them; also the lines a header could
    // stand on and the 0x1A that ends the file, if the block holds it. The block's field maps are
    // not needed yet.
    BlockOutcome findLines(const LogBlock& block);
    // Lines that are no data lines and hold a "#", in block order.
    const std::vector<LineSpan>& headerLines() const { return m_headerLines; }
    // Where a 0x1A between lines ends the file, as a block offset.
    std::optional<size_t> endMark() const { return m_endMark; }

    // Decides which of the lines found are kept; they stay in kept() until the next block.
    BlockOutcome keepLines(const LogBlock& block);
    const std::vector<LogRecord>& kept() const { return m_kept; }

private:

    const LineMatcher& m_matcher;
    TextArena& m_arena;
    size_t m_maxLine;
    LineMatcher::ScratchPtr m_scratch;
    std::vector<LineSpan> m_lines;
    std::vector<LineSpan> m_headerLines;
    std::optional<size_t> m_endMark;
    std::vector<std::uint32_t> m_masks;
    std::vector<LogRecord> m_kept;
};

} // namespace quill
