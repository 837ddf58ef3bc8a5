#include "crawlers/CountCrawlerVisits.h"

#include "crawlers/CrawlerVisitCounter.h"
#include "logsource/LineSplitter.h"
#include "logsource/LogSource.h"
#include "platform/FileSystem.h"

namespace quill {
namespace {

// Small enough that a block is still in the cache when it is scanned.
constexpr size_t kBlockBytes = size_t(256) << 10;

CrawlerFileStats unreadable(CrawlerFileStats stats, const std::string& path, Status why)
{
    stats.sizeText = statisticsSizeText(fileSize(path).value_or(0));
    stats.read = std::move(why);
    return stats;
}

} // namespace

std::optional<CrawlerFileStats> countCrawlerVisits(const std::string& path, const std::atomic<bool>& abandon,
                                                   size_t lineBytes)
{
    CrawlerFileStats stats;
    const size_t slash = path.rfind(kPathSeparator);
    stats.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    Result<OpenedLog> opened = openLog(path, &abandon);
    if (abandon)
        return std::nullopt;
    if (!opened.ok())
        return unreadable(std::move(stats), path, opened.status());
    if (opened.value().state != LogPathState::Log)
        return unreadable(std::move(stats), path, Status::failure(noLogText(opened.value().state)));
    LogSource& source = *opened.value().source;

    LineSplitter lines(source.stream(), {kBlockBytes, lineBytes, false});
    CrawlerVisitCounter counter;
    LineBlock block;
    while (true) {
        const Result<bool> got = lines.next(block);
        if (abandon)
            return std::nullopt;
        if (!got.ok())
            return unreadable(std::move(stats), path, got.status());
        if (!got.value())
            break;
        counter.addLines(std::string_view(block.data, block.size));
    }
    // An archive counts as the log inside it, its size included.
    stats.sizeText = statisticsSizeText(source.shownSize(lines.bytesRead()));
    stats.counts = counter.counts();
    return stats;
}

} // namespace quill
