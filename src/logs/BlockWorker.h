#pragma once
// Splits a block into its data lines, runs the keep test on them and copies the kept lines into
// the worker's text arena.

#include "logs/LineMatcher.h"
#include "logs/LogBlock.h"
#include "logs/LogRecord.h"
#include "logs/TextArena.h"

namespace quill {

class BlockWorker {
public:
    BlockWorker(const LineMatcher& matcher, TextArena& arena);

    // Finds and copies the kept records of `block`; they stay in kept() until the next call.
    // False when memory ran out.
    bool process(const LogBlock& block);
    const std::vector<LogRecord>& kept() const { return m_kept; }

private:
    void findDataLines(const LogBlock& block);

    const LineMatcher& m_matcher;
    TextArena& m_arena;
    LineMatcher::ScratchPtr m_scratch;
    std::vector<LineSpan> m_lines;
    std::vector<std::uint32_t> m_masks;
    std::vector<LogRecord> m_kept;
};

} // namespace quill
