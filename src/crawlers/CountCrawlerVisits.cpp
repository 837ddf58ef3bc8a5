#include "crawlers/CountCrawlerVisits.h"

#include "crawlers/CrawlerVisitCounter.h"
#include "logsource/ByteSource.h"
#include "platform/LineScan.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

// Feeds the file to the counter in blocks that end after a line end; a line longer than a block
// makes the buffer grow until the line is whole. Gives the bytes read, or why reading failed;
// nothing once `abandon` is set.
std::optional<Result<std::uint64_t>> countBlocks(ByteSource& source, CrawlerVisitCounter& counter,
                                                 const std::atomic<bool>& abandon)
{
    std::vector<char> buffer(kBlockBytes);
    size_t used = 0;
    std::uint64_t total = 0;
    while (true) {
        if (abandon.load(std::memory_order_relaxed))
            return std::nullopt;
        if (used == buffer.size()) {
            try {
                buffer.resize(buffer.size() * 2);
            } catch (const std::bad_alloc&) {
                return Status::failure(fileErrorText(ENOMEM));
            }
        }
        const Result<size_t> got = source.read(buffer.data() + used, buffer.size() - used);
        if (!got.ok())
            return got.status();
        if (got.value() == 0) {
            counter.addLines(std::string_view(buffer.data(), used));
            return total;
        }
        used += got.value();
        total += got.value();
        size_t cut = afterLastLineEnd(buffer.data(), used);
        if (cut == 0)
            continue;
        counter.addLines(std::string_view(buffer.data(), cut));
        std::memmove(buffer.data(), buffer.data() + cut, used - cut);
        used -= cut;
    }
}

} // namespace

std::optional<CrawlerFileStats> countCrawlerVisits(const std::string& path, const std::atomic<bool>& abandon)
{
    CrawlerFileStats stats;
    const size_t slash = path.rfind(kPathSeparator);
    stats.fileName = slash == std::string::npos ? path : path.substr(slash + 1);

    // Non-blocking, so that a pipe named "*.log" cannot hold the open; it is refused below.
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0)
        return unreadable(std::move(stats), path, Status::failure(fileErrorText(errno)));
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return unreadable(std::move(stats), path, Status::failure(fileErrorText(errno)));
    if (!S_ISREG(info.st_mode))
        return unreadable(std::move(stats), path, Status::failure("not a regular file"));
    posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

    // An archive counts as the log inside it, its size included.
    const ArchiveKind archive = archiveKindOf(path);
    Result<std::unique_ptr<ByteSource>> source = openArchive(file.get(), archive);
    if (!source.ok())
        return unreadable(std::move(stats), path, source.status());
    CrawlerVisitCounter counter;
    const std::optional<Result<std::uint64_t>> counted = countBlocks(*source.value(), counter, abandon);
    if (!counted)
        return std::nullopt;
    if (!*counted)
        return unreadable(std::move(stats), path, counted->status());
    std::uint64_t logBytes = counted->value();
    // The size as it is now: a log still being written has grown while it was counted.
    if (archive == ArchiveKind::None)
        logBytes = fstat(file.get(), &info) == 0 ? static_cast<std::uint64_t>(info.st_size) : 0;
    stats.sizeText = statisticsSizeText(logBytes);
    stats.counts = counter.counts();
    return stats;
}

} // namespace quill
