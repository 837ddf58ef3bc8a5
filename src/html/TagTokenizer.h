#pragma once
// The tag tokenizer: cuts a page into declarations, raw-text blocks and tags. Text between tokens
// is passed over; nothing is ever rejected.

#include "html/MarkupScanner.h"

namespace quill {

class TagTokenizer : public MarkupScanner {
public:
    // Sets up "<!", "<XMP", "<PRE", "<SCRIPT" and "<STYLE" in that order.
    explicit TagTokenizer(std::string_view text);

    // Scans the next token; End when the text is exhausted.
    TokenKind nextToken();
};

// The start tag of a raw-text block: its token text up to and including the first ">", passing
// over the byte after a double-byte lead; the whole text when it holds no ">".
std::string_view rawBlockStartTag(std::string_view blockText);

} // namespace quill
