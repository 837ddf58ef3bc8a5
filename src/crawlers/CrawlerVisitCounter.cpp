#include "crawlers/CrawlerVisitCounter.h"

#include "crawlers/CrawlerTable.h"
#include "platform/GbkText.h"

#include <climits>
#include <cstring>
#include <hs/hs.h>

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
            std::string_view token = crawlerTable()[row - 1].token;
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

// True when a token at `start` begins a character. Walking a GBK text from any boundary, the byte
// after one that cannot lead a double-byte character (a line end, ASCII, 0x80, 0xFF) always
// begins a character; from there the bytes that can lead pair up. So only the run of such bytes
// right before `start` decides, and lines need not be walked from their beginning.
bool startsCharacter(std::string_view block, size_t start)
{
    size_t leads = 0;
    while (leads < start && isGbkLeadByte(static_cast<unsigned char>(block[start - leads - 1])))
        ++leads;
    return leads % 2 == 0;
}

// The state of one block scan: the line of the latest match and the best row found in it.
struct BlockScan {
    std::string_view block;
    const StatisticsDatabase* database;
    StatisticsCounts counts{};
    bool inLine = false;
    size_t lastEnd = 0;
    size_t lineEnd = 0; // offset of the line's CR or LF, or the block's end
    int bestRow = 0;    // 0: no token yet

    void commit()
    {
        if (bestRow)
            ++counts[statisticsCountIndex(bestRow)];
        bestRow = 0;
    }

    void enterLine(size_t start)
    {
        const char* data = block.data();
        size_t end = block.size();
        if (const void* lf = std::memchr(data + start, '\n', end - start))
            end = static_cast<size_t>(static_cast<const char*>(lf) - data);
        if (const void* cr = std::memchr(data + start, '\r', end - start))
            end = static_cast<size_t>(static_cast<const char*>(cr) - data);
        inLine = true;
        lineEnd = end;
    }
};

int onMatch(unsigned int id, unsigned long long, unsigned long long to, unsigned int, void* context)
{
    auto& scan = *static_cast<BlockScan*>(context);
    const int row = static_cast<int>(id);
    const size_t end = static_cast<size_t>(to);
    const size_t start = end - scan.database->tokenLength[row];
    if (end < scan.lastEnd)
        return 1; // literal matches come in end order; a late one's line may be counted already
    scan.lastEnd = end;
    if (!scan.inLine || start > scan.lineEnd) { // a token never holds a line end
        scan.commit();
        scan.enterLine(start);
    }
    if ((scan.bestRow == 0 || row < scan.bestRow) && startsCharacter(scan.block, start))
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
    if (hs_scan(scan.database->db, block.data(), static_cast<unsigned>(block.size()), 0, m_scratch->scratch,
                onMatch, &scan)
        != HS_SUCCESS) {
        addLinesPlainly(block); // the scan was cut short: its counts are incomplete
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
