#pragma once
// Splits a block into its data lines and runs the keep test on them. Kept lines of a read block
// are copied into the worker's text arena; those of a mapped file stay where they are.

#include "logs/LineMatcher.h"
#include "logs/LogBlock.h"
#include "logs/LogRecord.h"
#include "logs/TextArena.h"

namespace quill {

enum class BlockOutcome { Done, OutOfMemory, LineTooLong };

class BlockWorker {
public:
    // Lines longer than `maxLine` bytes are refused.
    BlockWorker(const LineMatcher& matcher, TextArena& arena, size_t maxLine);

    // Finds the kept records of `block`; they stay in kept() until the next call.
    BlockOutcome process(const LogBlock& block);
    const std::vector<LogRecord>& kept() const { return m_kept; }

private:
    // False when a line is longer than allowed.
    bool findDataLines(const LogBlock& block);

    const LineMatcher& m_matcher;
    TextArena& m_arena;
    size_t m_maxLine;
    LineMatcher::ScratchPtr m_scratch;
    std::vector<LineSpan> m_lines;
    std::vector<std::uint32_t> m_masks;
    std::vector<LogRecord> m_kept;
};

} // namespace quill
