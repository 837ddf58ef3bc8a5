#include "verify/LogVerification.h"

#include "crawlers/CrawlerRegistry.h"
#include "crawlers/CrawlerTable.h"
#include "logs/HeaderStep.h"
#include "logs/LogTokens.h"
#include "logsource/LineSplitter.h"
#include "logsource/LogSource.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/LineScan.h"

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

    // Each line of a block of whole lines; a line ends at CR or LF, and the empty line between
    // the two of a CR LF holds no token.
    void addLines(std::string_view block)
    {
        const char* p = block.data();
        const char* end = p + block.size();
        while (p < end) {
            const char* lineEnd = findEither(p, end, '\r', '\n');
            addLine(std::string_view(p, static_cast<size_t>(lineEnd - p)));
            p = lineEnd + (lineEnd < end);
        }
    }

private:
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

    FileVisits& m_visits;
    LogFormat m_format = LogFormat::None;
    FieldMap m_map;
    std::unordered_map<std::string, size_t> m_index;
};

} // namespace

StoreRequests storeRequests(const RecordStore& store)
{
    StoreRequests result;
    addStoreRequests(result, store);
    return result;
}

void addStoreRequests(StoreRequests& result, const RecordStore& store)
{
    const auto first = static_cast<std::uint32_t>(result.requestOfRecord.size());
    result.requestOfRecord.resize(store.count(), kNoRequest);
    std::unordered_map<std::string, std::uint32_t>& index = result.requestOfPair;
    // A log holds few user agents many times over: each is named once.
    std::unordered_map<std::string_view, CrawlerId> crawlerOfAgent;
    const auto records = store.records();
    for (std::uint32_t r = first; r < records.size(); ++r) {
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

std::optional<FileVisits> collectFileVisits(const std::string& path, const std::atomic<bool>& abandon,
                                            size_t lineBytes)
{
    FileVisits visits;
    const size_t slash = path.rfind(kPathSeparator);
    visits.fileName = slash == std::string::npos ? path : path.substr(slash + 1);
    visits.sizeText = statisticsSizeText(fileSize(path).value_or(0));

    Result<OpenedLog> opened = openLog(path, &abandon);
    if (abandon)
        return std::nullopt;
    if (!opened.ok()) {
        visits.read = opened.status();
        return visits;
    }
    if (opened.value().state != LogPathState::Log) {
        visits.read = Status::failure(noLogText(opened.value().state));
        return visits;
    }
    LogSource& source = *opened.value().source;
    LineSplitter lines(source.stream(), {kBlockBytes, lineBytes, false});
    VisitCollector collector(visits);
    LineBlock block;
    while (true) {
        const Result<bool> got = lines.next(block);
        if (abandon)
            return std::nullopt;
        if (!got.ok()) {
            FileVisits failed;
            failed.fileName = std::move(visits.fileName);
            failed.sizeText = std::move(visits.sizeText);
            failed.read = got.status();
            return failed;
        }
        if (!got.value())
            break;
        collector.addLines(std::string_view(block.data, block.size));
    }
    // An archive counts as the log inside it, its size included.
    visits.sizeText = statisticsSizeText(source.shownSize(lines.bytesRead()));
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
        else
            counts.unchecked[column] += visits.visits[i];
    }
    for (size_t column = 0; column < counts.unchecked.size(); ++column)
        counts.unchecked[column] += visits.unaddressed[column];
    return counts;
}

} // namespace quill
