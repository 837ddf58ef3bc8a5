#pragma once
// What a loaded log and a log file give the crawler checks: the distinct (address, crawler) pairs
// of their crawler lines, and the verdicts mapped back to records or counted per engine.

#include "crawlers/CrawlerFileStats.h"
#include "logs/RecordStore.h"
#include "logsource/ReadLimits.h"
#include "verify/CrawlerVerifier.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quill {

inline constexpr std::uint32_t kNoRequest = UINT32_MAX;

struct StoreRequests {
    std::vector<VerificationRequest> requests;  // distinct, in order of first appearance
    std::vector<std::uint32_t> requestOfRecord; // per record (file order); kNoRequest for non-crawlers
    std::unordered_map<std::string, std::uint32_t> requestOfPair; // address and crawler -> request
};

// The client addresses of the store's crawler records, each distinct pair once: records the
// crawler column names, and records whose user agent names a crawler of the registry.
StoreRequests storeRequests(const RecordStore& store);

// Adds what the records after those `requests` covers bring (records that followed the load):
// their pairs not met before become new requests at the end.
void addStoreRequests(StoreRequests& requests, const RecordStore& store);

// Per record (file order), its verdict; Verdict::None for records that are not crawlers.
std::vector<Verdict> recordVerdicts(const StoreRequests& requests, const VerificationRun& run);

// The list rows (display order) whose record has `verdict`: the rows "只看伪装" keeps.
std::vector<std::uint32_t> rowsWithVerdict(const RecordStore& store, const std::vector<Verdict>& verdicts,
                                           Verdict verdict);

// The sort keys of the verdict column, one per record in file order: the verdict words.
std::vector<std::string> verdictSortKeys(const std::vector<Verdict>& verdicts);

// "验证 1,234/5,000" in GBK.
std::string verificationProgressText(size_t done, size_t total);

// A log file's statistics lines that carry a client address: the "#Fields:" lines give its
// position, as in the log reader. One entry per distinct pair, with how often each engine came
// from it.
struct FileVisits {
    std::string fileName;
    std::string sizeText;
    Status read;                                // failed when the file could not be read
    std::vector<VerificationRequest> requests;  // distinct pairs of statistics rows
    std::vector<int> rows;                      // the statistics row of each request
    std::vector<std::int64_t> visits;           // lines per request
    StatisticsCounts unaddressed{};             // statistics lines without a usable address
};

// Reads the log at `path` once, as the statistics read it; nothing when `abandon` is set on the
// way. A log that cannot be read, or holds a line longer than `lineBytes`, gives its error.
std::optional<FileVisits> collectFileVisits(const std::string& path, const std::atomic<bool>& abandon,
                                            size_t lineBytes = kMaxLineBytes);

// Verified, fake and undecided visits per engine, in statistics column order.
struct VerifiedCounts {
    StatisticsCounts verified{};
    StatisticsCounts fake{};
    StatisticsCounts unchecked{}; // 未知, 无法验证, or no address: every counted line is in one group
};
VerifiedCounts countVerdicts(const FileVisits& visits, const std::vector<VerificationResult>& results);

} // namespace quill
