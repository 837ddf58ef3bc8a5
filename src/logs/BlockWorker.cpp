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

BlockOutcome BlockWorker::findLines(const LogBlock& block)
{
    m_lines.clear();
    m_headerLines.clear();
    m_endMark.reset();
    const char* data = block.data;
    const char* end = data + block.size;
    const char* p = block.startsFile ? data : skipBlankBytes(data, end);
    while (p < end) {
        if (*p == 0x1A && (p != data || !block.startsFile)) {
            m_endMark = static_cast<size_t>(p - data);
            break;
        }
        size_t blanks = 0, firstHigh = 0;
        const char* lineEnd = findLineEnd(p, end, blanks, firstHigh);
        const auto length = static_cast<size_t>(lineEnd - p);
        if (length > m_maxLine)
            return BlockOutcome::LineTooLong;
        const LineSpan span{static_cast<size_t>(p - data), static_cast<size_t>(lineEnd - data), firstHigh};
        if (isDataLine(p, length, blanks))
            m_lines.push_back(span);
        else if (std::memchr(p, '#', length))
            m_headerLines.push_back(span);
        p = skipBlankBytes(lineEnd, end);
    }
    m_matcher.scan(std::string_view(data, block.size), m_lines, m_masks, *m_scratch);
    return BlockOutcome::Done;
}

BlockOutcome BlockWorker::keepLines(const LogBlock& block)
{
    m_kept.clear();
    const std::string_view text(block.data, block.size);
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
        const char* stored = block.mappedText ? block.mappedText + span.begin : line.data();
        if (!block.mappedText) {
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

} // namespace quill
