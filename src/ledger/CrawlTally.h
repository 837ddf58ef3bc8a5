#pragma once
// Sums the data lines of a log as the ledger keeps them. Each reading thread fills a tally of its
// own; the tallies are merged, and the crawler check's verdicts are applied at the end.

#include "ledger/LedgerFacts.h"
#include "verify/CrawlerVerifier.h"

#include <cstring>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quill {

// Hashes std::string and std::string_view alike, so maps of strings can be asked with views.
// A long text (a user agent, asked for on every line) is hashed by its length and three pieces
// of 16 bytes: texts alike in those share a bucket and are told apart by comparing them.
struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const
    {
        constexpr size_t kPiece = 16;
        if (text.size() <= 3 * kPiece)
            return std::hash<std::string_view>()(text);
        char sample[3 * kPiece];
        std::memcpy(sample, text.data(), kPiece);
        std::memcpy(sample + kPiece, text.data() + text.size() / 2 - kPiece / 2, kPiece);
        std::memcpy(sample + 2 * kPiece, text.data() + text.size() - kPiece, kPiece);
        return std::hash<std::string_view>()(std::string_view(sample, sizeof sample)) ^ (text.size() * 0x9E3779B97F4A7C15ull);
    }
};

// Texts numbered in the order they were first met; numbers stay valid as texts are added.
class TextNumbers {
public:
    std::uint32_t numberOf(std::string_view text);
    const std::string& text(std::uint32_t number) const { return m_texts[number]; }
    size_t size() const { return m_texts.size(); }

private:
    std::deque<std::string> m_texts;
    std::unordered_map<std::string_view, std::uint32_t, TextHash, std::equal_to<>> m_numbers;
};

class CrawlTally {
public:
    // With `keepAddresses`, each crawler line remembers its client address for the crawler check.
    explicit CrawlTally(bool keepAddresses);
    ~CrawlTally();
    CrawlTally(const CrawlTally&) = delete;
    CrawlTally& operator=(const CrawlTally&) = delete;

    // Counts one data line (without the "- " the reader puts in front), its fields found by `map`.
    void addDataLine(std::string_view line, const FieldMap& map);
    // Adds what `other` counted; `other` is left empty.
    void merge(CrawlTally& other);

    // The distinct (client address, crawler) pairs of crawler lines the check knows, in the
    // order of their numbers; empty without keepAddresses.
    std::vector<VerificationRequest> checkRequests() const;
    // The sums with `verdicts` (one per check request, in order) applied; with none, every
    // crawler line stays unchecked. A fake is counted as a fake, never as the crawler it claimed.
    FileFacts facts(const std::vector<Verdict>& verdicts) const;

    std::uint64_t dataLines() const { return m_dataLines; }

private:
    struct Sums {
        std::int64_t hits = 0, bytes = 0, timeTaken = 0;
    };
    struct HitKey {
        int day;
        int status;
        std::uint32_t path;
        std::uint32_t pair; // 0: not checked
        std::uint16_t crawler;
        bool hasQuery;
        bool operator==(const HitKey&) const = default;
    };
    struct HourKey {
        int day;
        std::uint32_t pair;
        std::uint16_t crawler;
        std::uint8_t hour;
        bool operator==(const HourKey&) const = default;
    };
    struct KeyHash {
        size_t operator()(const HitKey& k) const;
        size_t operator()(const HourKey& k) const;
    };
    struct DayCounts {
        std::int64_t requests = 0, crawlerRequests = 0;
    };

    int crawlerOf(std::string_view agent, bool cacheable);
    DayCounts& countsOf(int day);

    bool m_keepAddresses;
    std::uint64_t m_dataLines = 0;
    std::uint64_t m_undatedLines = 0;
    TextNumbers m_paths;
    TextNumbers m_pairs; // "address\tcrawler"
    std::unordered_map<std::string, int, TextHash, std::equal_to<>> m_agentCrawlers;
    std::unordered_map<HitKey, Sums, KeyHash> m_hits;
    std::unordered_map<HourKey, std::int64_t, KeyHash> m_hours;
    std::unordered_map<int, DayCounts> m_days;
    int m_lastDay = 0;
    DayCounts* m_lastCounts = nullptr;
    // The date field of the last line and its day: a log holds a day or two, line after line.
    std::string m_lastDateText;
    std::optional<int> m_lastParsedDay;
};

} // namespace quill
