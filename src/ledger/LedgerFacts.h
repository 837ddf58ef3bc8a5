#pragma once
// What one read of a log file adds to the ledger: sums per day, crawler, verdict, URL path and
// status, per hour, per fake address, and the day totals. Crawlers are numbers of
// ledgerCrawlers(); paths and addresses index the file's own lists.

#include "logs/FieldMap.h"
#include "verify/Verdict.h"

#include <cstdint>
#include <string>
#include <vector>

namespace quill {

struct CrawlFact {
    int day = 0;
    int crawler = 0;
    Verdict verdict = Verdict::None;
    bool hasQuery = false;
    std::uint32_t path = 0;
    int status = 0; // 0 where the log holds no number
    std::int64_t hits = 0;
    std::int64_t bytes = 0;
    std::int64_t timeTaken = 0; // milliseconds
};

struct HourFact {
    int day = 0;
    int hour = 0;
    int crawler = 0;
    Verdict verdict = Verdict::None;
    std::int64_t hits = 0;
};

struct FakeFact {
    int day = 0;
    int crawler = 0;
    std::uint32_t address = 0;
    std::uint32_t path = 0;
    std::int64_t hits = 0;
};

struct DayFact {
    int day = 0;
    std::int64_t requests = 0;        // data lines
    std::int64_t crawlerRequests = 0; // lines a crawler named, fakes excluded
    std::int64_t fakeRequests = 0;
};

struct FileFacts {
    std::vector<std::string> paths;     // cs-uri-stem as logged
    std::vector<std::string> addresses; // of fakes, as logged
    std::vector<CrawlFact> crawls;
    std::vector<HourFact> hours;
    std::vector<FakeFact> fakes;
    std::vector<DayFact> days;
    std::uint64_t dataLines = 0;
    std::uint64_t undatedLines = 0; // data lines without a usable date: counted nowhere else
};

// The header state at a place in a log: what a read that starts there needs.
struct HeaderState {
    LogFormat format = LogFormat::None;
    FieldMap map;
};

} // namespace quill
