#pragma once
// Counts log lines by the first statistics row of the crawler table whose token they contain. The
// seven tokens are searched in one pass over a block of lines with a multi-literal matcher; each
// candidate is then held to the exact rule (a match starts on a GBK character boundary),
// so the counts equal statisticsRowOf applied line by line.

#include "crawlers/CrawlerFileStats.h"

#include <memory>
#include <string_view>

namespace quill {

class CrawlerVisitCounter {
public:
    CrawlerVisitCounter();
    ~CrawlerVisitCounter();
    CrawlerVisitCounter(const CrawlerVisitCounter&) = delete;
    CrawlerVisitCounter& operator=(const CrawlerVisitCounter&) = delete;

    // Counts the lines of `block`. A line ends at CR, LF or CR LF; the block's end also ends one,
    // so a caller that reads in pieces hands over whole lines only.
    void addLines(std::string_view block);

    // The counts so far, in list column order.
    const StatisticsCounts& counts() const { return m_counts; }

private:
    void addLinesPlainly(std::string_view block);

    StatisticsCounts m_counts{};
    struct Scratch;
    std::unique_ptr<Scratch> m_scratch; // null: the plain search
};

} // namespace quill
