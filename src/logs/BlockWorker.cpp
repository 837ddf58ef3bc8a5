#include "logs/BlockWorker.h"

#include "platform/LineScan.h"

#include <climits>

namespace quill {
namespace {

// A record holds at most 4 GiB - 1 bytes of its line.
size_t storedLength(const LineSpan& span) { return std::min<size_t>(span.end - span.begin, UINT32_MAX); }

} // namespace

BlockWorker::BlockWorker(const LineMatcher& matcher, TextArena& arena, size_t maxLine)
    : m_matcher(matcher), m_arena(arena), m_maxLine(maxLine), m_scratch(matcher.makeScratch())
{
}

BlockOutcome BlockWorker::process(const LogBlock& block)
{
    m_kept.clear();
    if (!findDataLines(block))
        return BlockOutcome::LineTooLong;
    const std::string_view text(block.data, block.size);
    m_matcher.scan(text, m_lines, m_masks, *m_scratch);

    size_t t = 0;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        const LineSpan& span = m_lines[i];
        while (t + 1 < block.transitions.size() && block.transitions[t + 1].offset <= span.begin)
            ++t;
        const std::string_view line = text.substr(span.begin, span.end - span.begin);
        const KeepDecision decision = m_matcher.decide(m_masks[i], line, block.transitions[t].map);
        if (!decision.keep)
            continue;
        const size_t length = storedLength(span);
        const char* stored = line.data();
        if (!block.mapped) {
            char* copy = m_arena.allocate(length);
            if (!copy)
                return BlockOutcome::OutOfMemory;
            stored = static_cast<const char*>(std::memcpy(copy, line.data(), length));
        }
        m_kept.push_back({stored, static_cast<std::uint32_t>(length),
                          (block.transitions[t].mapId << 8) | static_cast<std::uint32_t>(decision.crawlerRow)});
    }
    return BlockOutcome::Done;
}

bool BlockWorker::findDataLines(const LogBlock& block)
{
    m_lines.clear();
    const char* data = block.data;
    const char* end = data + block.size;
    const char* p = block.startsFile ? data : skipBlankBytes(data, end);
    while (p < end && !(*p == 0x1A && (p != data || !block.startsFile))) {
        size_t blanks = 0, firstHigh = 0;
        const char* lineEnd = findLineEnd(p, end, blanks, firstHigh);
        if (static_cast<size_t>(lineEnd - p) > m_maxLine)
            return false;
        if (isDataLine(p, static_cast<size_t>(lineEnd - p), blanks))
            m_lines.push_back({static_cast<size_t>(p - data), static_cast<size_t>(lineEnd - data), firstHigh});
        p = skipBlankBytes(lineEnd, end);
    }
    return true;
}

} // namespace quill
