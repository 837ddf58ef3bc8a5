#include "verify/VerdictCache.h"

#include "crawlers/CrawlerTable.h"
#include "platform/ReplacementFile.h"
#include "verify/IpAddress.h"

#include <charconv>
#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

namespace quill {
namespace {

// One entry a line: address, crawler key, verdict word (GBK), seconds since 1970, TAB-separated.
// Files of earlier versions name crawlers by the crawler table's tokens; those still read.
constexpr char kSeparator = '\t';
constexpr size_t kLongestLine = 256;

bool keptInFile(Verdict verdict)
{
    return verdict == Verdict::Verified || verdict == Verdict::Fake;
}

CrawlerId crawlerOfKey(std::string_view key)
{
    const auto& entries = crawlerRegistry();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i].key == key)
            return static_cast<CrawlerId>(i + 1);
    const auto& rows = crawlerTable();
    for (int i = 0; i < kCrawlerRowCount; ++i)
        if (rows[static_cast<size_t>(i)].token == key)
            return crawlerOfRow(i + 1);
    return kNoCrawler;
}

std::vector<std::string_view> splitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    size_t start = 0;
    for (size_t tab; (tab = line.find(kSeparator, start)) != std::string_view::npos; start = tab + 1)
        fields.push_back(line.substr(start, tab - start));
    fields.push_back(line.substr(start));
    return fields;
}

} // namespace

std::int64_t secondsNow()
{
    return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string VerdictCache::key(const std::string& address, CrawlerId crawler)
{
    return address + kSeparator + std::to_string(crawler);
}

VerdictCache::VerdictCache(std::string path, std::int64_t now) : m_path(std::move(path))
{
    if (m_path.empty())
        return;
    std::ifstream file(m_path, std::ios::binary);
    std::string line;
    while (std::getline(file, line)) {
        if (line.ends_with('\r'))
            line.pop_back();
        if (line.size() > kLongestLine)
            continue;
        const auto fields = splitFields(line);
        if (fields.size() != 4)
            continue;
        const auto address = parseIpAddress(fields[0]);
        const CrawlerId crawler = crawlerOfKey(fields[1]);
        const auto verdict = verdictFromText(fields[2]);
        std::int64_t checkedAt = 0;
        const auto [end, error] = std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), checkedAt);
        if (!address || crawler == kNoCrawler || !verdict || !keptInFile(*verdict) || error != std::errc() ||
            end != fields[3].data() + fields[3].size())
            continue;
        if (now - checkedAt >= kVerdictLifetimeSeconds || checkedAt > now + kVerdictLifetimeSeconds)
            continue;
        m_entries[key(ipAddressText(*address), crawler)] = Entry{*verdict, checkedAt};
    }
}

std::optional<Verdict> VerdictCache::find(const std::string& address, CrawlerId crawler, std::int64_t now) const
{
    auto it = m_entries.find(key(address, crawler));
    if (it == m_entries.end() || now - it->second.checkedAt >= kVerdictLifetimeSeconds)
        return std::nullopt;
    return it->second.verdict;
}

void VerdictCache::remember(const std::string& address, CrawlerId crawler, Verdict verdict, std::int64_t now)
{
    // No answer is no verdict: the next look asks again.
    if (!keptInFile(verdict))
        return;
    m_entries[key(address, crawler)] = Entry{verdict, now};
    m_changed = true;
}

Status VerdictCache::save(std::int64_t now) const
{
    if (m_path.empty() || !m_changed)
        return {};
    std::string text;
    for (const auto& [entryKey, entry] : m_entries) {
        if (!keptInFile(entry.verdict) || now - entry.checkedAt >= kVerdictLifetimeSeconds)
            continue;
        const size_t tab = entryKey.find(kSeparator);
        const auto crawler = static_cast<CrawlerId>(std::stoi(entryKey.substr(tab + 1)));
        text += entryKey.substr(0, tab);
        text += kSeparator;
        text += crawlerEntry(crawler).key;
        text += kSeparator;
        text += verdictText(entry.verdict);
        text += kSeparator;
        text += std::to_string(entry.checkedAt);
        text += '\n';
    }
    ReplacementFile file(m_path);
    file.write(text);
    return file.commit();
}

} // namespace quill
