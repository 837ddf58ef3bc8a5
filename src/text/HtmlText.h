#pragma once
// Stateless reductions of whole GBK texts (fetched pages, results) to plain text and pieces.

#include <string>
#include <string_view>

namespace quill {

// The page's title line ("标题: " and its raw title; empty without a "<title"), CR LF, then its
// text without tags, style and script blocks, line breaks and runs of spaces.
std::string htmlToText(std::string_view html);

// The phrases of `text`, one per line (CR LF), split at spaces and a fixed set of punctuation.
std::string splitPhrases(std::string_view text);

// The piece between the first `startMarker` and the first `endMarker` of the whole text, or the
// empty text when either is missing or the end marker does not come after the start marker.
std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker);

} // namespace quill
