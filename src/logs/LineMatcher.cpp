#include "logs/LineMatcher.h"

#include "crawlers/CrawlerTable.h"
#include "logs/SearchForms.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <hs/hs.h>

namespace quill {
namespace {

// Bits 0-12 are the crawler table rows 1-13.
constexpr int kImageBit = 13;
constexpr int kAudioBit = 14;
constexpr int kStatus200Bit = 15;
constexpr int kSearchBit = 16;
constexpr std::uint32_t kCrawlerBits = (1u << kCrawlerRowCount) - 1;

constexpr std::string_view kPrefix = "- ";

} // namespace

struct LineMatcher::Database {
    hs_database_t* db = nullptr;
    ~Database() { hs_free_database(db); }
};

class LineMatcher::Scratch {
public:
    hs_scratch_t* scratch = nullptr;
    ~Scratch() { hs_free_scratch(scratch); }
};

namespace {

// State of one scan, handed to the match callback.
struct ScanContext {
    std::string_view block;
    const std::vector<LineSpan>* lines;
    std::vector<std::uint32_t>* masks;
    const std::vector<LineMatcher::Pattern>* patterns;
    size_t cursor = 0;    // line of the last match, where the next one most likely lies
    size_t walkedLine = SIZE_MAX; // line of `walked`
    size_t walked = 0;            // a known character boundary of that line, after its firstHigh

    bool isBoundary(size_t index, std::string_view text, size_t offset)
    {
        const size_t firstHigh = (*lines)[index].firstHigh;
        if (offset <= firstHigh)
            return true;
        if (walkedLine != index || offset < walked) {
            walkedLine = index;
            walked = firstHigh;
        }
        while (walked < offset)
            walked += gbkCharLength(text, walked);
        return walked == offset;
    }

    // Index of the line whose text or leading skipped bytes hold block offset `end - 1`.
    size_t lineEndingAfter(size_t end)
    {
        const auto& spans = *lines;
        auto first = spans.begin();
        // Matches come in the order of their ends, most lines hold none: walk on from the line of
        // the last match a few lines, then search the rest.
        if (cursor < spans.size() && (cursor == 0 || spans[cursor - 1].end < end)) {
            const size_t stop = std::min(spans.size(), cursor + 16);
            size_t i = cursor;
            while (i < stop && spans[i].end < end)
                ++i;
            if (i < stop || i == spans.size())
                return i;
            first += static_cast<std::ptrdiff_t>(i);
        }
        auto it = std::lower_bound(first, spans.end(), end,
                                   [](const LineSpan& s, size_t value) { return s.end < value; });
        return static_cast<size_t>(it - spans.begin());
    }
};

int onMatch(unsigned int id, unsigned long long, unsigned long long to, unsigned int, void* context)
{
    auto& ctx = *static_cast<ScanContext*>(context);
    const auto& pattern = (*ctx.patterns)[id];
    const size_t end = static_cast<size_t>(to);
    const size_t index = ctx.lineEndingAfter(end);
    if (index >= ctx.lines->size())
        return 0;
    ctx.cursor = index;
    std::uint32_t& mask = (*ctx.masks)[index];
    const std::uint32_t bit = 1u << pattern.bit;
    if (mask & bit)
        return 0;
    const LineSpan& span = (*ctx.lines)[index];
    const size_t length = pattern.needle.size();
    if (end < span.begin + length || end > span.end)
        return 0; // starts in the bytes skipped before the line
    std::string_view text = ctx.block.substr(span.begin, span.end - span.begin);
    const size_t offset = end - length - span.begin;
    // An ASCII token that matched ignoring case matched ASCII bytes, which the multi-literal
    // matcher folds just as we do; a search text with GBK bytes must be checked again.
    if (ctx.isBoundary(index, text, offset) && (pattern.ascii || pattern.needle.matchesAt(text, offset)))
        mask |= bit;
    return 0;
}

} // namespace

LineMatcher::LineMatcher(const FilterSnapshot& filters) : m_filters(filters)
{
    auto add = [this](std::string text, int bit) {
        CaselessNeedle needle(text);
        const bool ascii = std::none_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; });
        m_patterns.push_back({std::move(text), bit, ascii, std::move(needle)});
    };
    for (int row = 1; row <= kCrawlerRowCount; ++row)
        add(std::string(crawlerTable()[row - 1].token), row - 1);
    if (filters.images)
        for (const char* ext : {".gif ", ".jpg ", ".css "})
            add(ext, kImageBit);
    if (filters.audio)
        for (const char* ext : {".mp3 ", ".wma ", ".wmv "})
            add(ext, kAudioBit);
    if (filters.status200)
        add(" 200 ", kStatus200Bit);
    // The encoded forms are alternatives of the one search bit, found in the same pass.
    for (std::string& form : searchForms(filters.search, filters.searchEncoded))
        add(std::move(form), kSearchBit);

    for (size_t i = 0; i < m_patterns.size(); ++i) {
        char first = m_patterns[i].text[0];
        if (first == '-' || first == ' ')
            m_prefixSensitive.push_back(i);
    }

    std::vector<const char*> texts;
    std::vector<size_t> lengths;
    std::vector<unsigned> flags;
    std::vector<unsigned> ids;
    for (size_t i = 0; i < m_patterns.size(); ++i) {
        texts.push_back(m_patterns[i].text.data());
        lengths.push_back(m_patterns[i].text.size());
        flags.push_back(HS_FLAG_CASELESS);
        ids.push_back(static_cast<unsigned>(i));
    }
    hs_database_t* db = nullptr;
    hs_compile_error_t* error = nullptr;
    if (hs_compile_lit_multi(texts.data(), flags.data(), ids.data(), lengths.data(),
                             static_cast<unsigned>(texts.size()), HS_MODE_BLOCK, nullptr, &db, &error)
        == HS_SUCCESS) {
        m_database = std::make_unique<Database>();
        m_database->db = db;
    } else {
        hs_free_compile_error(error);
    }
}

LineMatcher::~LineMatcher() = default;

void LineMatcher::ScratchDeleter::operator()(Scratch* scratch) const { delete scratch; }

LineMatcher::ScratchPtr LineMatcher::makeScratch() const
{
    ScratchPtr scratch(new Scratch);
    if (m_database)
        hs_alloc_scratch(m_database->db, &scratch->scratch);
    return scratch;
}

std::uint32_t LineMatcher::plainMask(std::string_view rawLine) const
{
    std::string prefixed(kPrefix);
    prefixed += rawLine;
    std::uint32_t mask = 0;
    for (const Pattern& pattern : m_patterns)
        if (pattern.needle.findIn(prefixed) != std::string_view::npos)
            mask |= 1u << pattern.bit;
    return mask;
}

std::uint32_t LineMatcher::prefixMask(std::string_view rawLine, std::uint32_t found) const
{
    std::uint32_t mask = 0;
    for (size_t i : m_prefixSensitive) {
        const Pattern& pattern = m_patterns[i];
        if ((found | mask) & (1u << pattern.bit))
            continue;
        std::string head(kPrefix);
        head += rawLine.substr(0, pattern.needle.size());
        if (pattern.needle.matchesAt(head, 0) || pattern.needle.matchesAt(head, 1))
            mask |= 1u << pattern.bit;
    }
    return mask;
}

void LineMatcher::scan(std::string_view block, const std::vector<LineSpan>& lines,
                       std::vector<std::uint32_t>& masks, Scratch& scratch) const
{
    masks.assign(lines.size(), 0);
    if (!m_database || !scratch.scratch || block.size() > UINT_MAX) {
        for (size_t i = 0; i < lines.size(); ++i)
            masks[i] = plainMask(block.substr(lines[i].begin, lines[i].end - lines[i].begin));
        return;
    }
    ScanContext context{block, &lines, &masks, &m_patterns};
    hs_scan(m_database->db, block.data(), static_cast<unsigned>(block.size()), 0, scratch.scratch,
            onMatch, &context);
    if (m_prefixSensitive.empty())
        return;
    for (size_t i = 0; i < lines.size(); ++i)
        masks[i] |= prefixMask(block.substr(lines[i].begin, lines[i].end - lines[i].begin), masks[i]);
}

KeepDecision LineMatcher::decide(std::uint32_t mask, std::string_view rawLine, const FieldMap& map) const
{
    KeepDecision decision;
    if (mask & ((1u << kImageBit) | (1u << kAudioBit) | (1u << kStatus200Bit)))
        return decision;
    if (!m_filters.search.empty() && !(mask & (1u << kSearchBit)))
        return decision;
    const std::uint32_t crawlers = mask & kCrawlerBits;
    decision.crawlerRow = crawlers ? __builtin_ctz(crawlers) + 1 : 0;
    decision.keep = passesCrawlerFilters(rawLine, decision.crawlerRow, m_filters, map);
    return decision;
}

} // namespace quill
