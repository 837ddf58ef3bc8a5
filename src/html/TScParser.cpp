#include "html/TScParser.h"

namespace quill {

TScParser::TScParser(std::string_view text) : m_text(text.substr(0, text.find('\0')))
{
    m_text.push_back('\0');
}

void TScParser::addMarkerPair(std::string startMarker, std::string endMarker)
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
    m_startMarkers.push_back(std::move(startMarker));
    m_endMarkers.push_back(std::move(endMarker));
}

void TScParser::Reset()
{
    m_pos = 0;
    m_tokenStart = 0;
}

std::string_view TScParser::TokenText() const
{
    // An Unterminated token leaves the position before its start.
    if (m_pos <= m_tokenStart)
        return {};
    return std::string_view(m_text).substr(m_tokenStart, m_pos - m_tokenStart);
}

bool TScParser::matchesAt(std::size_t pos, std::string_view upperMarker) const
{
    // The buffer's final NUL never equals a marker byte, so the compare stops inside the buffer.
    for (std::size_t i = 0; i < upperMarker.size(); ++i) {
        if (foldLetter(byteAt(pos + i)) != static_cast<unsigned char>(upperMarker[i]))
            return false;
    }
    return true;
}

std::size_t TScParser::matchStartMarker() const
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

bool TScParser::skipQuotedRun(char quote)
{
    ++m_pos;
    while (m_text[m_pos] != '\0') {
        if (m_text[m_pos] == quote) {
            if (m_text[m_pos + 1] == quote) {
                m_pos += 2;
                continue;
            }
            ++m_pos;
            break;
        }
        ++m_pos;
    }
    return m_text[m_pos] != '\0';
}

TokenKind TScParser::scanBlock(std::size_t marker, std::size_t scanStart)
{
    m_marker = marker;
    m_pos += m_startMarkers[marker].size();
    const std::string& endMarker = m_endMarkers[marker];
    const std::string& startMarker = m_startMarkers[marker];
    const bool interruptible = startMarker == "<" || startMarker == "</";
    while (m_text[m_pos] != '\0') {
        if (m_quoteHandling) {
            bool reachedEnd = false;
            for (char quote : m_quotes) {
                if (m_text[m_pos] == quote && !skipQuotedRun(quote)) {
                    reachedEnd = true;
                    break;
                }
            }
            if (reachedEnd)
                break;
        }
        if (interruptible && m_text[m_pos] == '<') {
            m_endFound = false;
            return TokenKind::Block;
        }
        if (matchesAt(m_pos, endMarker)) {
            m_pos += endMarker.size();
            m_endFound = true;
            return TokenKind::Block;
        }
        // The byte after a double-byte lead is never examined.
        m_pos += (isTwoByteLead(byteAt(m_pos)) && m_text[m_pos + 1] != '\0') ? 2 : 1;
    }
    m_endFound = false;
    m_pos = scanStart + 1;
    return TokenKind::Unterminated;
}

} // namespace quill
