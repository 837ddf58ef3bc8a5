#pragma once
// Finds, for many log lines at once, which of the keep test's search texts each line contains.
// All texts are searched in one pass over a block of lines with a multi-literal matcher; every
// candidate is then held to the exact rule (ignoring ASCII case, starting on a GBK character
// boundary of the line with its "- " prefix), so the result equals the plain keep test.

#include "logs/FieldMap.h"
#include "logs/FilterSnapshot.h"
#include "logs/KeepTest.h"
#include "platform/GbkText.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace quill {

// A line inside a block: [begin, end) byte offsets, line end excluded, and the offset from
// begin of its first byte >= 0x80 (up to there every byte starts a character).
struct LineSpan {
    size_t begin;
    size_t end;
    size_t firstHigh;
};

class LineMatcher {
public:
    explicit LineMatcher(const FilterSnapshot& filters);
    ~LineMatcher();
    LineMatcher(const LineMatcher&) = delete;
    LineMatcher& operator=(const LineMatcher&) = delete;

    // Per-thread working memory of the matcher.
    class Scratch;
    struct ScratchDeleter {
        void operator()(Scratch* scratch) const;
    };
    using ScratchPtr = std::unique_ptr<Scratch, ScratchDeleter>;
    ScratchPtr makeScratch() const;

    // masks[i] receives the pattern bits found in line i of `block`.
    void scan(std::string_view block, const std::vector<LineSpan>& lines, std::vector<std::uint32_t>& masks,
              Scratch& scratch) const;

    // The keep decision for a data line from the bits `scan` found in it.
    KeepDecision decide(std::uint32_t mask, std::string_view rawLine, const FieldMap& map) const;

    struct Pattern {
        std::string text;
        int bit;
        bool ascii;
        CaselessNeedle needle;
    };

private:
    std::uint32_t plainMask(std::string_view rawLine) const;
    std::uint32_t prefixMask(std::string_view rawLine, std::uint32_t found) const;

    FilterSnapshot m_filters;
    std::vector<Pattern> m_patterns;
    std::vector<std::size_t> m_prefixSensitive; // patterns that can start inside the "- " prefix
    struct Database;
    std::unique_ptr<Database> m_database; // null: use the plain search
};

} // namespace quill
