#include "html/MarkupScanner.h"

namespace quill {

MarkupScanner::MarkupScanner(std::string_view text) : m_text(text.substr(0, text.find('\0')))
{
    m_text.push_back('\0');
}

void MarkupScanner::addMarkerPair(std::string startMarker, std::string endMarker)
{
    for (char& c : startMarker)
        c = static_cast<char>(foldLetter(static_cast<unsigned char>(c)));
    for (char& c : endMarker)
        c = static_cast<char>(foldLetter(static_cast<unsigned char>(c)));
    if (!startMarker.empty()) {
        auto first = static_cast<unsigned char>(startMarker[0]);
        m_markerFirstBytes[first] = true;
        if (first >= 'A' && first <= 'Z')
            m_markerFirstBytes[first + 32] = true;
    }
    m_interruptible.push_back(startMarker == "<" || startMarker == "</");
    m_startMarkers.push_back(std::move(startMarker));
    m_endMarkers.push_back(std::move(endMarker));
    m_deadEnds.emplace_back();
}

void MarkupScanner::setQuoteHandling(bool on)
{
    m_quoteHandling = on;
    for (auto& deadEnds : m_deadEnds)
        deadEnds.clear();
}

void MarkupScanner::reset()
{
    m_pos = 0;
    m_tokenStart = 0;
    m_unterminatedAt = std::string::npos;
}

std::string_view MarkupScanner::tokenText() const
{
    // An Unterminated token leaves the position before its start.
    if (m_pos <= m_tokenStart)
        return {};
    return std::string_view(m_text).substr(m_tokenStart, m_pos - m_tokenStart);
}

bool MarkupScanner::matchesAt(std::size_t pos, std::string_view upperMarker) const
{
    // The buffer's final NUL never equals a marker byte, so the compare stops inside the buffer.
    for (std::size_t i = 0; i < upperMarker.size(); ++i) {
        if (foldLetter(byteAt(pos + i)) != static_cast<unsigned char>(upperMarker[i]))
            return false;
    }
    return true;
}

std::size_t MarkupScanner::matchStartMarker() const
{
    for (std::size_t i = 0; i < m_startMarkers.size(); ++i) {
        const std::string& marker = m_startMarkers[i];
        if (marker.empty() || !matchesAt(m_pos, marker))
            continue;
        // "<PRE" must not take "<prefix>": a longer marker needs a blank or ">" after it.
        if (marker.size() > 2 && byteAt(m_pos + marker.size()) != ' ' && byteAt(m_pos + marker.size()) != '>')
            continue;
        return i;
    }
    return std::string::npos;
}

std::size_t MarkupScanner::afterQuotedRun(std::size_t pos, char quote) const
{
    for (++pos; m_text[pos] != '\0'; ++pos) {
        if (m_text[pos] != quote)
            continue;
        if (m_text[pos + 1] != quote)
            return pos + 1;
        ++pos; // a doubled quote stays inside the run
    }
    return pos;
}

MarkupScanner::BlockStep MarkupScanner::blockStep(std::size_t& pos, std::size_t marker) const
{
    if (m_quoteHandling) {
        for (char quote : m_quotes) {
            if (m_text[pos] != quote)
                continue;
            pos = afterQuotedRun(pos, quote);
            if (m_text[pos] == '\0')
                return BlockStep::Exhausted;
        }
    }
    if (m_interruptible[marker] && m_text[pos] == '<')
        return BlockStep::Interrupted;
    const std::string& endMarker = m_endMarkers[marker];
    if (matchesAt(pos, endMarker)) {
        pos += endMarker.size();
        return BlockStep::EndMarker;
    }
    // The byte after a double-byte lead is never examined.
    pos += (isTwoByteLead(byteAt(pos)) && m_text[pos + 1] != '\0') ? 2 : 1;
    return BlockStep::Next;
}

TokenKind MarkupScanner::scanBlock(std::size_t marker, std::size_t scanStart)
{
    m_marker = marker;
    m_pos += m_startMarkers[marker].size();
    const std::size_t first = m_pos;
    const std::vector<bool>& deadEnds = m_deadEnds[marker];
    while (m_text[m_pos] != '\0' && (deadEnds.empty() || !deadEnds[m_pos])) {
        BlockStep step = blockStep(m_pos, marker);
        if (step == BlockStep::Next)
            continue;
        if (step == BlockStep::Exhausted)
            break;
        m_endFound = step == BlockStep::EndMarker;
        return TokenKind::Block;
    }
    markDeadEnds(marker, first);
    m_endFound = false;
    m_unterminatedAt = m_tokenStart;
    m_pos = scanStart + 1;
    return TokenKind::Unterminated;
}

void MarkupScanner::markDeadEnds(std::size_t marker, std::size_t pos)
{
    std::vector<bool>& deadEnds = m_deadEnds[marker];
    if (deadEnds.empty())
        deadEnds.resize(m_text.size());
    while (m_text[pos] != '\0' && !deadEnds[pos]) {
        deadEnds[pos] = true;
        if (blockStep(pos, marker) != BlockStep::Next)
            break;
    }
}

} // namespace quill
