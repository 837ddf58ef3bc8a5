#include "crawlers/CrawlerVisitCounter.h"

#include "crawlers/CrawlerTable.h"
#include "text/GbkText.h"

#include <climits>
#include <cstring>
#include <hs/hs.h>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quill {
namespace {

// The statistics rows compiled once; a pattern's id is its table row number.
struct StatisticsDatabase {
    hs_database_t* db = nullptr;
    std::array<size_t, kCrawlerRowCount + 1> tokenLength{};

    StatisticsDatabase()
    {
        std::vector<const char*> texts;
        std::vector<size_t> lengths;
        std::vector<unsigned> flags;
        std::vector<unsigned> ids;
        for (int row = 1; row <= kCrawlerRowCount; ++row) {
            if (statisticsCountIndex(row) < 0)
                continue;
            std::string_view token = CrawlerTable()[row - 1].token;
            tokenLength[row] = token.size();
            texts.push_back(token.data());
            lengths.push_back(token.size());
            flags.push_back(HS_FLAG_CASELESS);
            ids.push_back(static_cast<unsigned>(row));
        }
        hs_compile_error_t* error = nullptr;
        if (hs_compile_lit_multi(texts.data(), flags.data(), ids.data(), lengths.data(),
                                 static_cast<unsigned>(texts.size()), HS_MODE_BLOCK, nullptr, &db, &error)
            != HS_SUCCESS) {
            hs_free_compile_error(error);
            db = nullptr;
        }
    }
    ~StatisticsDatabase() { hs_free_database(db); }
};

const StatisticsDatabase& statisticsDatabase()
{
    static const StatisticsDatabase database;
    return database;
}

// First byte >= 0x80 in [p, end), or end.
const char* firstHighByte(const char* p, const char* end)
{
#ifdef __SSE2__
    while (end - p >= 16) {
        auto bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        if (unsigned high = static_cast<unsigned>(_mm_movemask_epi8(bytes)))
            return p + __builtin_ctz(high);
        p += 16;
    }
#endif
    while (p < end && !(*p & 0x80))
        ++p;
    return p;
}

// The state of one block scan: the line of the latest match and the best row found in it.
struct BlockScan {
    std::string_view block;
    const StatisticsDatabase* database;
    StatisticsCounts counts{};
    bool inLine = false;
    bool unordered = false;
    size_t lineBegin = 0;
    size_t lineEnd = 0;   // offset of the line's CR or LF, or the block's end
    int bestRow = 0;      // 0: no token yet
    size_t plainUpTo = 0; // the bytes of the line before this offset are all single-byte characters
    size_t walked = 0;    // a character boundary at or after plainUpTo, once a high byte was seen
    bool highSeen = false;

    void commit()
    {
        if (bestRow)
            ++counts[statisticsCountIndex(bestRow)];
        bestRow = 0;
    }

    void enterLine(size_t start)
    {
        const char* data = block.data();
        const size_t floor = inLine ? lineEnd + 1 : 0;
        size_t begin = floor;
        if (const void* lf = memrchr(data + floor, '\n', start - floor))
            begin = static_cast<size_t>(static_cast<const char*>(lf) - data) + 1;
        if (const void* cr = memrchr(data + begin, '\r', start - begin))
            begin = static_cast<size_t>(static_cast<const char*>(cr) - data) + 1;
        size_t end = block.size();
        if (const void* lf = std::memchr(data + start, '\n', end - start))
            end = static_cast<size_t>(static_cast<const char*>(lf) - data);
        if (const void* cr = std::memchr(data + start, '\r', end - start))
            end = static_cast<size_t>(static_cast<const char*>(cr) - data);
        inLine = true;
        lineBegin = begin;
        lineEnd = end;
        plainUpTo = begin;
        highSeen = false;
    }

    bool isCharBoundary(size_t start)
    {
        if (start <= plainUpTo)
            return true;
        const char* data = block.data();
        if (!highSeen) {
            plainUpTo = static_cast<size_t>(firstHighByte(data + plainUpTo, data + start) - data);
            if (plainUpTo == start)
                return true;
            highSeen = true;
            walked = plainUpTo;
        }
        if (start < walked)
            walked = plainUpTo;
        // A token starts at least one token length before the line end, so a lead byte met here
        // always has its trail byte inside the line.
        while (walked < start)
            walked += isGbkLeadByte(static_cast<unsigned char>(data[walked])) ? 2 : 1;
        return walked == start;
    }
};

int onMatch(unsigned int id, unsigned long long, unsigned long long to, unsigned int, void* context)
{
    auto& scan = *static_cast<BlockScan*>(context);
    const int row = static_cast<int>(id);
    const size_t start = static_cast<size_t>(to) - scan.database->tokenLength[row];
    if (!scan.inLine || start > scan.lineEnd) { // a token never starts on a line end
        scan.commit();
        scan.enterLine(start);
    } else if (start < scan.lineBegin) {
        // Literal matches come in end order; were one ever late, its line is already counted.
        scan.unordered = true;
        return 1;
    }
    if ((scan.bestRow == 0 || row < scan.bestRow) && scan.isCharBoundary(start))
        scan.bestRow = row;
    return 0;
}

} // namespace

struct CrawlerVisitCounter::Scratch {
    hs_scratch_t* scratch = nullptr;
    ~Scratch() { hs_free_scratch(scratch); }
};

CrawlerVisitCounter::CrawlerVisitCounter()
{
    const StatisticsDatabase& database = statisticsDatabase();
    if (!database.db)
        return;
    auto scratch = std::make_unique<Scratch>();
    if (hs_alloc_scratch(database.db, &scratch->scratch) == HS_SUCCESS)
        m_scratch = std::move(scratch);
}

CrawlerVisitCounter::~CrawlerVisitCounter() = default;

void CrawlerVisitCounter::addLines(std::string_view block)
{
    if (!m_scratch || block.size() > UINT_MAX) {
        addLinesPlainly(block);
        return;
    }
    BlockScan scan{block, &statisticsDatabase()};
    hs_scan(scan.database->db, block.data(), static_cast<unsigned>(block.size()), 0, m_scratch->scratch,
            onMatch, &scan);
    if (scan.unordered) {
        addLinesPlainly(block);
        return;
    }
    scan.commit();
    for (int c = 0; c < kStatisticsCountColumns; ++c)
        m_counts[c] += scan.counts[c];
}

void CrawlerVisitCounter::addLinesPlainly(std::string_view block)
{
    size_t begin = 0;
    while (begin <= block.size()) {
        size_t end = block.find_first_of("\r\n", begin);
        if (end == std::string_view::npos)
            end = block.size();
        if (int row = statisticsRowOf(block.substr(begin, end - begin)))
            ++m_counts[statisticsCountIndex(row)];
        begin = end + 1;
    }
}

} // namespace quill
