#include "logs/RegistryVisits.h"

#include "crawlers/CrawlerFileStats.h"
#include "crawlers/CrawlerStatsWorker.h"
#include "logs/HeaderStep.h"
#include "logs/LogTokens.h"
#include "logsource/ByteSource.h"
#include "logsource/LogFiles.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/LineScan.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
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
    stats.readError = std::move(error);
    return stats;
}

} // namespace

std::optional<RegistryFileStats> countRegistryVisits(const std::string& path, const std::atomic<bool>& abandon)
{
    RegistryFileStats stats;
    const size_t slash = path.rfind(kPathSeparator);
    stats.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    // Non-blocking, so that a pipe named "*.log" cannot hold the open; it is refused below.
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0)
        return unreadable(std::move(stats), path, fileErrorText(errno));
    if (!S_ISREG(info.st_mode))
        return unreadable(std::move(stats), path, "not a regular file");
    const ArchiveKind archive = archiveKindOf(path);
    Result<std::unique_ptr<ByteSource>> source = openArchive(file.get(), archive);
    if (!source.ok())
        return unreadable(std::move(stats), path, source.status().message());

    std::vector<std::int64_t> counts(crawlerRegistry().size() + 1, 0);
    RegistryCounter counter(counts);
    std::vector<char> buffer(kBlockBytes);
    size_t used = 0;
    std::uint64_t logBytes = 0;
    while (true) {
        if (abandon.load(std::memory_order_relaxed))
            return std::nullopt;
        if (used == buffer.size()) {
            try {
                buffer.resize(buffer.size() * 2); // a line longer than a block
            } catch (const std::bad_alloc&) {
                return unreadable(std::move(stats), path, fileErrorText(ENOMEM));
            }
        }
        const Result<size_t> got = source.value()->read(buffer.data() + used, buffer.size() - used);
        if (!got.ok())
            return unreadable(std::move(stats), path, got.status().message());
        if (got.value() == 0) {
            counter.addLines(std::string_view(buffer.data(), used));
            break;
        }
        used += got.value();
        logBytes += got.value();
        const size_t cut = afterLastLineEnd(buffer.data(), used);
        counter.addLines(std::string_view(buffer.data(), cut));
        std::memmove(buffer.data(), buffer.data() + cut, used - cut);
        used -= cut;
    }
    if (archive == ArchiveKind::None)
        logBytes = fstat(file.get(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : logBytes;
    stats.sizeText = statisticsSizeText(logBytes);
    stats.counts = std::move(counts);
    return stats;
}

RegistryStatsWorker::RegistryStatsWorker(std::string logFolder, const std::atomic<bool>& stopRequested,
                                         UiDispatcher& ui, Handlers handlers)
    : m_worker(&ui)
{
    // Posted tasks may run after the job has ended, so they share the handlers.
    auto shared = std::make_shared<const Handlers>(std::move(handlers));
    m_worker.start([folder = statisticsFolder(logFolder), &stopRequested,
                    handlers = std::move(shared)](const std::atomic<bool>& abandon, const Worker::Post& post) {
        for (const DirectoryEntry& entry : findLogEntries(folder)) {
            if (abandon)
                return;
            if (entry.isDirectory)
                continue;
            std::optional<RegistryFileStats> row = countRegistryVisits(joinPath(folder, entry.name), abandon);
            if (!row)
                return;
            post([handlers, row = std::move(*row)] { handlers->appendRow(row); });
            if (stopRequested)
                break;
        }
        post([handlers] { handlers->finished(); });
    });
}

} // namespace quill
