#include "ledger/CrawlTally.h"

#include "ledger/LedgerCrawlers.h"
#include "ledger/LedgerDays.h"
#include "logs/LogTokens.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quill {
namespace {

constexpr std::uint8_t kNoHour = 0xFF;
constexpr int kColTime = 9; // the record list's "时间" column
constexpr int kColumnsRead[] = {kColDate, kColTime, kColUriStem, kColUriQuery, kColUserAgent,
                                kColStatus, kColClientIp, kColBytesSent, kColTimeTaken};

// The tokens of a prefixed line up to a highest position, cut in one pass over the line.
class LineTokens {
public:
    LineTokens(std::string_view line, unsigned upTo) : m_line(line)
    {
        const char* p = line.data();
        const size_t n = line.size();
        unsigned k = 1;
        m_begin[1] = 0;
        size_t i = 0;
#ifdef __SSE2__
        const __m128i blank = _mm_set1_epi8(' ');
        for (; i + 16 <= n && k < upTo; i += 16) {
            auto mask = static_cast<unsigned>(
                _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i)), blank)));
            for (; mask != 0 && k < upTo; mask &= mask - 1) {
                const auto at = static_cast<std::uint32_t>(i + static_cast<size_t>(__builtin_ctz(mask)));
                m_end[k] = at;
                m_begin[++k] = at + 1;
            }
        }
#endif
        for (; i < n && k < upTo; ++i) {
            if (p[i] == ' ') {
                m_end[k] = static_cast<std::uint32_t>(i);
                m_begin[++k] = static_cast<std::uint32_t>(i + 1);
            }
        }
        const void* blankAfter = std::memchr(p + m_begin[k], ' ', n - m_begin[k]);
        m_end[k] = static_cast<std::uint32_t>(blankAfter ? static_cast<const char*>(blankAfter) - p : n);
        m_count = k;
    }

    // Token `position` of the prefixed line; "-" for 0 and beyond the line.
    std::string_view at(unsigned position) const
    {
        if (position == 0 || position > m_count)
            return kMissingToken;
        return m_line.substr(m_begin[position], m_end[position] - m_begin[position]);
    }

private:
    std::string_view m_line;
    unsigned m_count = 0;
    std::uint32_t m_begin[258];
    std::uint32_t m_end[258];
};

// A whole decimal number of at most 18 digits; 0 for anything else ("-" among them).
std::int64_t countOf(std::string_view token)
{
    if (token.empty() || token.size() > 18)
        return 0;
    std::int64_t value = 0;
    for (char c : token) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + (c - '0');
    }
    return value;
}

int statusOf(std::string_view token)
{
    const std::int64_t status = countOf(token);
    return status >= 100 && status <= 999 ? static_cast<int>(status) : 0;
}

std::uint8_t hourOf(std::string_view time)
{
    if (time.size() < 3 || time[2] != ':' || time[0] < '0' || time[0] > '2' || time[1] < '0' || time[1] > '9')
        return kNoHour;
    const int hour = (time[0] - '0') * 10 + (time[1] - '0');
    return hour < 24 ? static_cast<std::uint8_t>(hour) : kNoHour;
}

size_t mix(std::uint64_t a, std::uint64_t b)
{
    std::uint64_t h = a * 0x9E3779B97F4A7C15ull ^ (b + 0x632BE59BD9B4E019ull + (a << 6) + (a >> 2));
    h ^= h >> 32;
    return static_cast<size_t>(h * 0xD6E8FEB86659FD93ull);
}

std::string pairText(std::string_view address, int crawler)
{
    std::string text(address);
    text += '\t';
    text += std::to_string(crawler);
    return text;
}

} // namespace

std::uint32_t TextNumbers::numberOf(std::string_view text)
{
    if (auto found = m_numbers.find(text); found != m_numbers.end())
        return found->second;
    const auto number = static_cast<std::uint32_t>(m_texts.size());
    m_texts.emplace_back(text);
    m_numbers.emplace(m_texts.back(), number);
    return number;
}

size_t CrawlTally::KeyHash::operator()(const HitKey& k) const
{
    return mix((std::uint64_t(std::uint32_t(k.day)) << 32) | std::uint32_t(k.status),
               (std::uint64_t(k.path) << 32) ^ (std::uint64_t(k.pair) << 17) ^ (std::uint64_t(k.crawler) << 1) ^
                   std::uint64_t(k.hasQuery));
}

size_t CrawlTally::KeyHash::operator()(const HourKey& k) const
{
    return mix(std::uint32_t(k.day), (std::uint64_t(k.pair) << 24) ^ (std::uint64_t(k.crawler) << 8) ^ k.hour);
}

CrawlTally::CrawlTally(bool keepAddresses) : m_keepAddresses(keepAddresses) {}

CrawlTally::~CrawlTally() = default;

int CrawlTally::crawlerOf(std::string_view agent, bool cacheable)
{
    if (!cacheable)
        return crawlerOfAgent(agent);
    // A log holds few distinct user agents, repeated on most of its lines.
    if (auto found = m_agentCrawlers.find(agent); found != m_agentCrawlers.end())
        return found->second;
    const int crawler = crawlerOfAgent(agent);
    m_agentCrawlers.emplace(std::string(agent), crawler);
    return crawler;
}

CrawlTally::DayCounts& CrawlTally::countsOf(int day)
{
    if (!m_lastCounts || day != m_lastDay) {
        m_lastDay = day;
        m_lastCounts = &m_days[day];
    }
    return *m_lastCounts;
}

void CrawlTally::addDataLine(std::string_view line, const FieldMap& map)
{
    ++m_dataLines;
    unsigned upTo = 1;
    for (int column : kColumnsRead)
        upTo = std::max<unsigned>(upTo, map[column]);
    const LineTokens tokens(line, upTo);
    const std::string_view dateText = tokens.at(map[kColDate]);
    if (dateText != m_lastDateText) {
        m_lastDateText = dateText;
        m_lastParsedDay = parseLogDay(dateText);
    }
    const std::optional<int> day = m_lastParsedDay;
    if (!day) {
        ++m_undatedLines;
        return;
    }
    DayCounts& counts = countsOf(*day);
    ++counts.requests;
    const bool hasAgentField = map[kColUserAgent] != 0;
    const int crawler = crawlerOf(hasAgentField ? tokens.at(map[kColUserAgent]) : line, hasAgentField);
    if (crawler == 0)
        return;
    ++counts.crawlerRequests;

    std::uint32_t pair = 0;
    if (m_keepAddresses && ledgerCrawlers()[static_cast<size_t>(crawler - 1)].checkAs != kNoCrawler)
        pair = m_pairs.numberOf(pairText(tokens.at(map[kColClientIp]), crawler)) + 1;
    const std::string_view query = tokens.at(map[kColUriQuery]);
    const HitKey key{*day,
                     statusOf(tokens.at(map[kColStatus])),
                     m_paths.numberOf(tokens.at(map[kColUriStem])),
                     pair,
                     static_cast<std::uint16_t>(crawler),
                     !query.empty() && query != kMissingToken};
    Sums& sums = m_hits[key];
    ++sums.hits;
    sums.bytes += countOf(tokens.at(map[kColBytesSent]));
    sums.timeTaken += countOf(tokens.at(map[kColTimeTaken]));
    if (const std::uint8_t hour = hourOf(tokens.at(map[kColTime])); hour != kNoHour)
        ++m_hours[HourKey{*day, pair, static_cast<std::uint16_t>(crawler), hour}];
}

void CrawlTally::merge(CrawlTally& other)
{
    m_dataLines += other.m_dataLines;
    m_undatedLines += other.m_undatedLines;
    for (const auto& [day, counts] : other.m_days) {
        DayCounts& mine = m_days[day];
        mine.requests += counts.requests;
        mine.crawlerRequests += counts.crawlerRequests;
    }
    m_lastCounts = nullptr;
    std::vector<std::uint32_t> paths(other.m_paths.size());
    for (std::uint32_t i = 0; i < paths.size(); ++i)
        paths[i] = m_paths.numberOf(other.m_paths.text(i));
    std::vector<std::uint32_t> pairs(other.m_pairs.size() + 1, 0);
    for (std::uint32_t i = 0; i < other.m_pairs.size(); ++i)
        pairs[i + 1] = m_pairs.numberOf(other.m_pairs.text(i)) + 1;
    for (const auto& [key, sums] : other.m_hits) {
        HitKey moved = key;
        moved.path = paths[key.path];
        moved.pair = pairs[key.pair];
        Sums& mine = m_hits[moved];
        mine.hits += sums.hits;
        mine.bytes += sums.bytes;
        mine.timeTaken += sums.timeTaken;
    }
    for (const auto& [key, hits] : other.m_hours) {
        HourKey moved = key;
        moved.pair = pairs[key.pair];
        m_hours[moved] += hits;
    }
    other.m_days.clear();
    other.m_hits.clear();
    other.m_hours.clear();
    other.m_dataLines = other.m_undatedLines = 0;
    other.m_lastCounts = nullptr;
}

std::vector<VerificationRequest> CrawlTally::checkRequests() const
{
    std::vector<VerificationRequest> requests;
    requests.reserve(m_pairs.size());
    for (std::uint32_t i = 0; i < m_pairs.size(); ++i) {
        const std::string& text = m_pairs.text(i);
        const size_t tab = text.rfind('\t');
        const int crawler = std::stoi(text.substr(tab + 1));
        requests.push_back({text.substr(0, tab), ledgerCrawlers()[static_cast<size_t>(crawler - 1)].checkAs});
    }
    return requests;
}

FileFacts CrawlTally::facts(const std::vector<Verdict>& verdicts) const
{
    auto verdictOf = [&](std::uint32_t pair) {
        return pair == 0 || pair > verdicts.size() ? Verdict::None : verdicts[pair - 1];
    };
    FileFacts facts;
    facts.dataLines = m_dataLines;
    facts.undatedLines = m_undatedLines;
    facts.paths.reserve(m_paths.size());
    for (std::uint32_t i = 0; i < m_paths.size(); ++i)
        facts.paths.push_back(m_paths.text(i));

    // Several addresses fold into one verdict: sum again, in a stable order.
    std::map<std::tuple<int, int, int, std::uint32_t, bool, int>, Sums> crawls;
    std::map<std::tuple<int, int, std::uint32_t, std::uint32_t>, std::int64_t> fakes;
    std::map<int, std::int64_t> fakesOfDay;
    TextNumbers addresses;
    for (const auto& [key, sums] : m_hits) {
        const Verdict verdict = verdictOf(key.pair);
        Sums& folded = crawls[{key.day, key.crawler, static_cast<int>(verdict), key.path, key.hasQuery, key.status}];
        folded.hits += sums.hits;
        folded.bytes += sums.bytes;
        folded.timeTaken += sums.timeTaken;
        if (verdict != Verdict::Fake)
            continue;
        const std::string& pair = m_pairs.text(key.pair - 1);
        const std::uint32_t address = addresses.numberOf(std::string_view(pair).substr(0, pair.rfind('\t')));
        fakes[{key.day, key.crawler, address, key.path}] += sums.hits;
        fakesOfDay[key.day] += sums.hits;
    }
    for (const auto& [key, sums] : crawls) {
        const auto& [day, crawler, verdict, path, hasQuery, status] = key;
        facts.crawls.push_back(
            {day, crawler, static_cast<Verdict>(verdict), hasQuery, path, status, sums.hits, sums.bytes, sums.timeTaken});
    }
    for (std::uint32_t i = 0; i < addresses.size(); ++i)
        facts.addresses.push_back(addresses.text(i));
    for (const auto& [key, hits] : fakes) {
        const auto& [day, crawler, address, path] = key;
        facts.fakes.push_back({day, crawler, address, path, hits});
    }

    std::map<std::tuple<int, int, int, int>, std::int64_t> hours;
    for (const auto& [key, hits] : m_hours)
        hours[{key.day, key.hour, key.crawler, static_cast<int>(verdictOf(key.pair))}] += hits;
    for (const auto& [key, hits] : hours) {
        const auto& [day, hour, crawler, verdict] = key;
        facts.hours.push_back({day, hour, crawler, static_cast<Verdict>(verdict), hits});
    }

    std::map<int, DayCounts> days(m_days.begin(), m_days.end());
    for (const auto& [day, counts] : days) {
        const auto fake = fakesOfDay.find(day);
        const std::int64_t fakeRequests = fake == fakesOfDay.end() ? 0 : fake->second;
        facts.days.push_back({day, counts.requests, counts.crawlerRequests - fakeRequests, fakeRequests});
    }
    return facts;
}

} // namespace quill
