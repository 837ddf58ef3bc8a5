#include "verify/LogVerification.h"

#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/HeaderStep.h"
#include "logs/LogTokens.h"
#include "logsource/ByteSource.h"
#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <fcntl.h>
#include <unordered_map>

namespace quill {
namespace {

constexpr size_t kBlockBytes = size_t(1) << 20;

std::string pairKey(std::string_view address, int row)
{
    std::string key(address);
    key += '\t';
    key += std::to_string(row);
    return key;
}

// Statistics lines of one file, gathered line by line.
class VisitCollector {
public:
    explicit VisitCollector(FileVisits& visits) : m_visits(visits) {}

    void addLine(std::string_view line)
    {
        const int row = statisticsRowOf(line);
        if (line.starts_with('#'))
            applyHeaderLine(line, m_format, m_map);
        if (row == 0)
            return;
        const std::string_view address = line.starts_with('#') ? kMissingToken : tokenAt(line, m_map[kColClientIp]);
        if (address == kMissingToken) {
            ++m_visits.unaddressed[static_cast<size_t>(statisticsCountIndex(row))];
            return;
        }
        auto [it, added] = m_index.try_emplace(pairKey(address, row), m_visits.requests.size());
        if (added) {
            m_visits.requests.push_back({std::string(address), crawlerOfRow(row)});
            m_visits.rows.push_back(row);
            m_visits.visits.push_back(0);
        }
        ++m_visits.visits[it->second];
    }

private:
    FileVisits& m_visits;
    LogFormat m_format = LogFormat::None;
    FieldMap m_map;
    std::unordered_map<std::string, size_t> m_index;
};

} // namespace

StoreRequests storeRequests(const RecordStore& store)
{
    StoreRequests result;
    result.requestOfRecord.assign(store.count(), kNoRequest);
    std::unordered_map<std::string, std::uint32_t> index;
    // A log holds few user agents many times over: each is named once.
    std::unordered_map<std::string_view, CrawlerId> crawlerOfAgent;
    const auto records = store.records();
    for (std::uint32_t r = 0; r < records.size(); ++r) {
        const LogRecord& record = records[r];
        const FieldMap& map = store.mapOf(record);
        // The crawler column's row names the claim; a line it does not name may still be a
        // crawler of today's registry.
        CrawlerId crawler = crawlerOfRow(record.crawlerRow());
        if (crawler == kNoCrawler) {
            const std::string_view agent = tokenAt(record.line(), map[kColUserAgent]);
            auto [known, added] = crawlerOfAgent.try_emplace(agent, kNoCrawler);
            if (added)
                known->second = identifyUserAgent(agent);
            crawler = known->second;
        }
        if (crawler == kNoCrawler)
            continue;
        const std::string_view address = tokenAt(record.line(), map[kColClientIp]);
        auto [it, added] = index.try_emplace(pairKey(address, crawler), static_cast<std::uint32_t>(result.requests.size()));
        if (added)
            result.requests.push_back({std::string(address), crawler});
        result.requestOfRecord[r] = it->second;
    }
    return result;
}

std::vector<Verdict> recordVerdicts(const StoreRequests& requests, const VerificationRun& run)
{
    std::vector<Verdict> verdicts(requests.requestOfRecord.size(), Verdict::None);
    for (size_t r = 0; r < verdicts.size(); ++r) {
        const std::uint32_t request = requests.requestOfRecord[r];
        if (request != kNoRequest && request < run.results.size())
            verdicts[r] = run.results[request].verdict;
    }
    return verdicts;
}

std::vector<std::uint32_t> rowsWithVerdict(const RecordStore& store, const std::vector<Verdict>& verdicts,
                                           Verdict verdict)
{
    std::vector<std::uint32_t> rows;
    if (verdicts.size() != store.count())
        return rows;
    for (std::uint32_t row = 0; row < store.count(); ++row)
        if (verdicts[store.recordAt(row)] == verdict)
            rows.push_back(row);
    return rows;
}

std::vector<std::string> verdictSortKeys(const std::vector<Verdict>& verdicts)
{
    std::vector<std::string> keys;
    keys.reserve(verdicts.size());
    for (Verdict verdict : verdicts)
        keys.push_back(verdictText(verdict));
    return keys;
}

std::string verificationProgressText(size_t done, size_t total)
{
    auto grouped = [](size_t number) {
        std::string digits = std::to_string(number);
        for (size_t at = digits.size(); at > 3; at -= 3)
            digits.insert(at - 3, ",");
        return digits;
    };
    static const std::string verifying = gbk("验证 ");
    return verifying + grouped(done) + "/" + grouped(total);
}

std::optional<FileVisits> collectFileVisits(const std::string& path, const std::atomic<bool>& abandon)
{
    FileVisits visits;
    const size_t slash = path.rfind(kPathSeparator);
    visits.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    visits.sizeText = statisticsSizeText(fileSize(path).value_or(0));

    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        visits.readError = fileErrorText(errno);
        return visits;
    }
    // An archive counts as the log inside it, its size included.
    const ArchiveKind archive = archiveKindOf(path);
    Result<std::unique_ptr<ByteSource>> source = openArchive(file.get(), archive);
    if (!source.ok()) {
        visits.readError = source.status().message();
        return visits;
    }
    VisitCollector collector(visits);
    std::string pending;
    std::vector<char> block(kBlockBytes);
    std::uint64_t logBytes = 0;
    while (true) {
        if (abandon)
            return std::nullopt;
        const Result<size_t> got = source.value()->read(block.data(), block.size());
        if (!got.ok()) {
            visits.readError = got.status().message();
            return visits;
        }
        if (got.value() == 0)
            break;
        logBytes += got.value();
        pending.append(block.data(), got.value());
        size_t start = 0;
        for (size_t end; (end = pending.find_first_of("\r\n", start)) != std::string::npos; start = end + 1) {
            collector.addLine(std::string_view(pending).substr(start, end - start));
            if (pending[end] == '\r' && end + 1 < pending.size() && pending[end + 1] == '\n')
                ++end;
        }
        // A CR at the block's end may still be followed by its LF; the empty line it would leave
        // has no token and counts for nothing.
        pending.erase(0, start);
    }
    if (!pending.empty())
        collector.addLine(pending);
    if (archive != ArchiveKind::None)
        visits.sizeText = statisticsSizeText(logBytes);
    return visits;
}

VerifiedCounts countVerdicts(const FileVisits& visits, const std::vector<VerificationResult>& results)
{
    VerifiedCounts counts;
    for (size_t i = 0; i < visits.requests.size() && i < results.size(); ++i) {
        const size_t column = static_cast<size_t>(statisticsCountIndex(visits.rows[i]));
        if (results[i].verdict == Verdict::Verified)
            counts.verified[column] += visits.visits[i];
        else if (results[i].verdict == Verdict::Fake)
            counts.fake[column] += visits.visits[i];
    }
    return counts;
}

} // namespace quill
