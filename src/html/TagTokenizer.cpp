#include "html/TagTokenizer.h"

namespace quill {
TagTokenizer::TagTokenizer(std::string_view text) : MarkupScanner(text)
{
    addMarkerPair("<!", ">");
    addMarkerPair("<XMP", "</XMP");
    addMarkerPair("<PRE", "</PRE");
    addMarkerPair("<SCRIPT", "</SCRIPT");
    addMarkerPair("<STYLE", "</STYLE");
}

TokenKind TagTokenizer::nextToken()
{
    // TAB is not skipped: it counts as text in front of the next token.
    while (byteAt(m_pos) != 0 && byteAt(m_pos) <= 0x20 && byteAt(m_pos) != 0x09)
        ++m_pos;
    const std::size_t scanStart = m_pos;
    // Restarting after an unterminated block: the bytes up to it hold no token, so the same
    // block comes back unterminated without scanning them again.
    if (m_unterminatedAt != std::string::npos && scanStart <= m_unterminatedAt) {
        m_tokenStart = m_unterminatedAt;
        m_pos = scanStart + 1;
        return TokenKind::Unterminated;
    }
    for (;;) {
        unsigned char byte = byteAt(m_pos);
        if (byte == 0)
            return TokenKind::End;
        if (byte == '>') {
            ++m_pos;
            return TokenKind::StrayClose;
        }
        if (mayStartMarker(byte)) {
            std::size_t marker = matchStartMarker();
            if (marker != std::string::npos) {
                m_tokenStart = m_pos;
                return scanBlock(marker, scanStart);
            }
        }
        ++m_pos;
    }
}

std::string_view rawBlockStartTag(std::string_view blockText)
{
    for (std::size_t i = 0; i < blockText.size(); i += isTwoByteLead(static_cast<unsigned char>(blockText[i])) ? 2 : 1) {
        if (blockText[i] == '>')
            return blockText.substr(0, i + 1);
    }
    return blockText;
}

} // namespace quill
