#include "logs/RegistryVisits.h"

#include "crawlers/CrawlerFileStats.h"
#include "crawlers/StatisticsLogs.h"
#include "logs/HeaderStep.h"
#include "logs/LogTokens.h"
#include "logsource/LineSplitter.h"
#include "logsource/LogSource.h"
#include "platform/FileSystem.h"

#include <vector>

namespace quill {
namespace {

constexpr size_t kBlockBytes = size_t(256) << 10;

// Lines of one file, named as they come; the "#Fields:" lines say where the user agent stands.
class RegistryCounter {
public:
    explicit RegistryCounter(std::vector<std::int64_t>& counts) : m_counts(counts) {}

    void addLines(std::string_view block)
    {
        for (size_t begin = 0; begin < block.size();) {
            size_t end = block.find_first_of("\r\n", begin);
            if (end == std::string_view::npos)
                end = block.size();
            addLine(block.substr(begin, end - begin));
            begin = end + 1;
        }
    }

private:
    void addLine(std::string_view line)
    {
        if (line.starts_with('#')) {
            applyHeaderLine(line, m_format, m_map);
            return;
        }
        if (m_map[kColUserAgent] == 0)
            return;
        if (const CrawlerId crawler = identifyUserAgent(tokenAt(line, m_map[kColUserAgent])))
            ++m_counts[crawler];
    }

    std::vector<std::int64_t>& m_counts;
    LogFormat m_format = LogFormat::None;
    FieldMap m_map;
};

RegistryFileStats unreadable(RegistryFileStats stats, const std::string& path, std::string error)
{
    stats.sizeText = statisticsSizeText(fileSize(path).value_or(0));
    stats.read = Status::failure(std::move(error));
    return stats;
}

} // namespace

std::optional<RegistryFileStats> countRegistryVisits(const std::string& path, const std::atomic<bool>& abandon,
                                                     size_t lineBytes)
{
    RegistryFileStats stats;
    const size_t slash = path.rfind(kPathSeparator);
    stats.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    Result<OpenedLog> opened = openLog(path, &abandon);
    if (abandon)
        return std::nullopt;
    if (!opened.ok())
        return unreadable(std::move(stats), path, opened.status().message());
    if (opened.value().state != LogPathState::Log)
        return unreadable(std::move(stats), path, noLogText(opened.value().state));
    LogSource& source = *opened.value().source;

    std::vector<std::int64_t> counts(crawlerRegistry().size() + 1, 0);
    RegistryCounter counter(counts);
    LineSplitter lines(source.stream(), {kBlockBytes, lineBytes, false});
    LineBlock block;
    while (true) {
        const Result<bool> got = lines.next(block);
        if (abandon)
            return std::nullopt;
        if (!got.ok())
            return unreadable(std::move(stats), path, got.status().message());
        if (!got.value())
            break;
        counter.addLines(std::string_view(block.data, block.size));
    }
    // An archive counts as the log inside it, its size included.
    stats.sizeText = statisticsSizeText(source.shownSize(lines.bytesRead()));
    stats.counts = std::move(counts);
    return stats;
}

RegistryStatsWorker::RegistryStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                         UiDispatcher& ui, Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([folder = std::move(logFolder), &stopRequested,
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) {
        const bool ended = forEachStatisticsLog(folder, stopRequested, abandon, [&](const std::string& path) {
            std::optional<RegistryFileStats> row = countRegistryVisits(path, abandon);
            if (!row)
                return false;
            post([handlers, row = std::move(*row)] { handlers->appendRow(row); });
            return true;
        });
        if (ended)
            post([handlers] { handlers->finished(); });
    });
}

} // namespace quill
