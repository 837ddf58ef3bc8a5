#pragma once
// The scanner beneath the tag tokenizer: a private NUL-ended copy of the page, the current token's
// bounds, and the block scan that looks for a start marker's end marker.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

enum class TokenKind { End = 0, StrayClose = 1, Block = 5, Unterminated = 6 };

class MarkupScanner {
public:
    // Copies `text`; a NUL inside it ends the text there.
    explicit MarkupScanner(std::string_view text);

    // Adds a start marker (matched ignoring ASCII case) after the ones already tried.
    void addMarkerPair(std::string startMarker, std::string endMarker);
    void setQuoteHandling(bool on);

    // Position and token start back to the first byte.
    void reset();

    // The bytes from the token start up to the current position.
    std::string_view tokenText() const;
    // 1-based index of the token's first byte.
    std::size_t tokenPos() const { return m_tokenStart + 1; }
    // 1-based index of the token's last byte.
    std::size_t tokenEndPos() const { return m_pos; }
    const std::string& startMarker() const { return m_startMarkers[m_marker]; }
    const std::string& endMarker() const { return m_endMarkers[m_marker]; }
    // True when the last Block token ended with its end marker.
    bool endFound() const { return m_endFound; }

protected:
    // Index of the first marker that starts at the current position, or npos.
    std::size_t matchStartMarker() const;
    // Scans the block opened by marker `marker`, whose scan began at `scanStart`.
    TokenKind scanBlock(std::size_t marker, std::size_t scanStart);
    unsigned char byteAt(std::size_t pos) const { return static_cast<unsigned char>(m_text[pos]); }
    bool mayStartMarker(unsigned char byte) const { return m_markerFirstBytes[byte]; }

    std::string m_text; // the copy, ending in NUL
    std::size_t m_pos = 0;
    std::size_t m_tokenStart = 0;
    // Token start of the last unterminated block; scans restarting before it meet it again.
    std::size_t m_unterminatedAt = std::string::npos;

private:
    enum class BlockStep { Next, Interrupted, EndMarker, Exhausted };

    bool matchesAt(std::size_t pos, std::string_view upperMarker) const;
    std::size_t afterQuotedRun(std::size_t pos, char quote) const;
    // One round of the block scan from `pos`, which is not at the end of the text.
    BlockStep blockStep(std::size_t& pos, std::size_t marker) const;
    // A round that starts where an unterminated scan passed runs into the end as well, so such
    // places are remembered: each block then costs its own bytes, not the rest of the text.
    void markDeadEnds(std::size_t marker, std::size_t pos);

    std::vector<std::string> m_startMarkers;
    std::vector<std::string> m_endMarkers;
    std::vector<bool> m_interruptible;
    std::vector<std::vector<bool>> m_deadEnds; // per marker, sized on its first unterminated block
    bool m_markerFirstBytes[256] = {};
    std::string m_quotes = "'\"";
    bool m_quoteHandling = false;
    std::size_t m_marker = 0;
    bool m_endFound = false;
};

// The block scan takes these as the first byte of a two-byte character. The range is deliberately
// not GBK's lead range (0x81-0xFE): bytes 0xA0-0xDF, which start most GBK characters, count as single
// bytes here, so a '>' after one of them still ends the tag.
inline bool isTwoByteLead(unsigned char byte) { return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC); }

// a-z folded to A-Z byte by byte; every other byte unchanged.
inline unsigned char foldLetter(unsigned char byte) { return (byte >= 'a' && byte <= 'z') ? byte - 32 : byte; }

} // namespace quill
