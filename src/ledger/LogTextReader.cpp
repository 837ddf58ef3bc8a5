#include "ledger/LogTextReader.h"

#include "logs/HeaderTracker.h"
#include "logsource/ByteSource.h"
#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/Worker.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace quill {
namespace {

constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxLineBytes = size_t(1) << 30; // as the load: a longer line fails the read
constexpr size_t kMaxBlocksInFlight = 4;
constexpr std::uint32_t kMaxFieldMaps = std::uint32_t(1) << 24;

std::string lineTooLongText() { return "Line too long: more than " + std::to_string(kMaxLineBytes) + " bytes"; }

// Hands blocks to two threads; a block goes as soon as a thread is free, since the sums do not
// depend on the order of the lines.
class BlockQueue {
public:
    using Consume = std::function<void(unsigned thread, const LogBlock& block)>;

    explicit BlockQueue(const Consume& consume)
    {
        for (unsigned thread = 0; thread < 2; ++thread) {
            m_workers.push_back(std::make_unique<Worker>());
            m_workers.back()->start([this, thread, &consume](const std::atomic<bool>&, const Worker::Post&) {
                run(thread, consume);
            });
        }
    }
    ~BlockQueue() { finish(); }

    void submit(std::unique_ptr<LogBlock> block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_queue.size() < kMaxBlocksInFlight; });
        m_queue.push_back(std::move(block));
        m_changed.notify_all();
    }

    bool failed() const { return m_failed.load(); }

    // Waits for every block; false when a thread ran out of memory.
    bool finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (auto& worker : m_workers)
            worker->stop();
        m_workers.clear();
        return !m_failed.load();
    }

private:
    void run(unsigned thread, const Consume& consume)
    {
        while (true) {
            std::unique_ptr<LogBlock> block;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                block = std::move(m_queue.front());
                m_queue.pop_front();
            }
            m_changed.notify_all();
            if (m_failed.load())
                continue;
            try {
                consume(thread, *block);
            } catch (const std::bad_alloc&) {
                m_failed.store(true);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<LogBlock>> m_queue;
    bool m_closing = false;
    std::atomic<bool> m_failed{false};
    std::vector<std::unique_ptr<Worker>> m_workers;
};

// Where a block of `used` bytes may end: after its last line end, or at its end when only blank
// bytes follow that (they stand between lines); 0 when no line of it has ended yet.
size_t cutPoint(const char* data, size_t used, bool startsFile)
{
    const size_t lineEnd = afterLastLineEnd(data, used);
    if (lineEnd == 0 && startsFile)
        return 0; // the first line is read as it is, blanks and all
    return skipBlankBytes(data + lineEnd, data + used) == data + used ? used : lineEnd;
}

Result<LogReadEnd> readMapped(int fd, std::uint64_t from, HeaderTracker& headers, BlockQueue& queue,
                              const std::atomic<bool>& stop)
{
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return Status::failure(fileErrorText(errno));
    const auto size = static_cast<std::uint64_t>(info.st_size);
    LogReadEnd end;
    end.readTo = from;
    if (from >= size)
        return end;
    std::unique_ptr<MappedFile> mapping = MappedFile::map(fd, static_cast<size_t>(size));
    if (!mapping)
        return Status::failure(fileErrorText(EIO));
    const char* data = mapping->data();
    std::uint64_t offset = from;
    while (offset < size && !stop.load() && !queue.failed()) {
        const auto left = static_cast<size_t>(size - offset);
        const bool startsFile = offset == 0;
        size_t used = std::min(kBlockBytes, left);
        size_t cut = 0;
        while ((cut = cutPoint(data + offset, used, startsFile)) == 0 && used < left) {
            if (used > kMaxLineBytes)
                return Status::failure(lineTooLongText());
            used = std::min(used * 2, left);
        }
        if (cut == 0)
            break; // only a line the web server has not finished yet
        auto block = std::make_unique<LogBlock>();
        block->data = data + offset;
        block->size = cut;
        block->startsFile = startsFile;
        block->mapped = true;
        const bool ended = headers.scanBlock(*block);
        const size_t kept = block->size;
        queue.submit(std::move(block));
        if (ended) {
            // The 0x1A end mark: nothing after it is ever read.
            offset += kept;
            break;
        }
        offset += cut;
    }
    if (!queue.finish())
        return Status::failure("Out of memory");
    // A file cut short while it was read shows zeros where its lines were: nothing of it counts.
    if (fstat(fd, &info) == 0 && static_cast<std::uint64_t>(info.st_size) < offset)
        return Status::failure(gbk("日志文件在读取时被截短，没有添加"));
    if (mapping->readableBytes() < mapping->size() && mapping->readableBytes() < offset)
        return Status::failure(fileErrorText(EIO));
    end.readTo = offset;
    return end;
}

// Discards the first `count` bytes of `source`; false when it ends before.
Result<bool> skipBytes(ByteSource& source, std::uint64_t count)
{
    std::vector<char> sink(std::min<std::uint64_t>(count, kBlockBytes));
    while (count > 0) {
        const Result<size_t> got = source.read(sink.data(), static_cast<size_t>(std::min<std::uint64_t>(count, sink.size())));
        if (!got.ok())
            return got.status();
        if (got.value() == 0)
            return false;
        count -= got.value();
    }
    return true;
}

Result<LogReadEnd> readStream(ByteSource& source, std::uint64_t from, HeaderTracker& headers, BlockQueue& queue,
                              const std::atomic<bool>& stop)
{
    LogReadEnd end;
    end.readTo = from;
    const Result<bool> skipped = skipBytes(source, from);
    if (!skipped.ok())
        return skipped.status();
    if (!skipped.value())
        return end; // shorter than what was read before: nothing new
    std::uint64_t offset = from;
    std::string pending; // bytes of a line that has not ended yet
    bool atEnd = false;
    bool marked = false;
    while (!atEnd && !marked && !queue.failed()) {
        if (stop.load())
            return Status::failure(kCancelledText);
        auto block = std::make_unique<LogBlock>();
        block->capacity = std::max(kBlockBytes, pending.size() * 2);
        if (block->capacity > kMaxLineBytes + kBlockBytes)
            return Status::failure(lineTooLongText());
        block->input = std::make_unique_for_overwrite<char[]>(block->capacity);
        std::memcpy(block->input.get(), pending.data(), pending.size());
        size_t used = pending.size();
        while (used < block->capacity) {
            const Result<size_t> got = source.read(block->input.get() + used, block->capacity - used);
            if (!got.ok())
                return got.status();
            if (got.value() == 0) {
                atEnd = true;
                break;
            }
            used += got.value();
        }
        const bool startsFile = offset == 0;
        const size_t cut = atEnd ? used : cutPoint(block->input.get(), used, startsFile);
        pending.assign(block->input.get() + cut, used - cut);
        if (cut == 0)
            continue;
        block->data = block->input.get();
        block->size = cut;
        block->startsFile = startsFile;
        marked = headers.scanBlock(*block);
        offset += marked ? block->size : cut;
        queue.submit(std::move(block));
    }
    if (!queue.finish())
        return Status::failure("Out of memory");
    end.readTo = offset;
    return end;
}

} // namespace

Result<std::unique_ptr<LogTextReader>> LogTextReader::open(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return Status::failure(fileErrorText(errno));
    FileHandle file(fd);
    struct stat info {};
    if (fstat(fd, &info) != 0)
        return Status::failure(fileErrorText(errno));
    if (S_ISDIR(info.st_mode))
        return Status::failure(fileErrorText(EISDIR));
    if (!S_ISREG(info.st_mode))
        return Status::failure("not a regular file");
    const int kept = fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (kept < 0)
        return Status::failure(fileErrorText(errno));
    return std::unique_ptr<LogTextReader>(
        new LogTextReader(kept, static_cast<std::uint64_t>(info.st_size), archiveKindOf(path)));
}

LogTextReader::~LogTextReader() { ::close(m_fd); }

Result<std::unique_ptr<ByteSource>> LogTextReader::openStream()
{
    if (lseek(m_fd, 0, SEEK_SET) != 0)
        return Status::failure(fileErrorText(errno));
    return openArchive(m_fd, m_archive);
}

Result<std::string> LogTextReader::head(size_t bytes)
{
    std::string text(bytes, '\0');
    size_t got = 0;
    if (m_archive == ArchiveKind::None) {
        while (got < bytes) {
            const ssize_t n = pread(m_fd, text.data() + got, bytes - got, static_cast<off_t>(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return Status::failure(fileErrorText(errno));
            if (n == 0)
                break;
            got += static_cast<size_t>(n);
        }
    } else {
        Result<std::unique_ptr<ByteSource>> source = openStream();
        if (!source.ok())
            return source.status();
        while (got < bytes) {
            const Result<size_t> n = source.value()->read(text.data() + got, bytes - got);
            if (!n.ok())
                return n.status();
            if (n.value() == 0)
                break;
            got += n.value();
        }
    }
    text.resize(got);
    return text;
}

Result<LogReadEnd> LogTextReader::read(std::uint64_t from, const HeaderState& state,
                                       const std::function<void(unsigned thread, const LogBlock& block)>& consume,
                                       const std::atomic<bool>& stop)
{
    HeaderState at = state;
    HeaderTracker headers(at.format, at.map, kMaxFieldMaps);
    Result<LogReadEnd> end = LogReadEnd{};
    try {
        BlockQueue queue(consume);
        if (m_archive == ArchiveKind::None) {
            end = readMapped(m_fd, from, headers, queue, stop);
        } else {
            Result<std::unique_ptr<ByteSource>> source = openStream();
            end = source.ok() ? readStream(*source.value(), from, headers, queue, stop) : source.status();
        }
    } catch (const std::bad_alloc&) {
        return Status::failure("Out of memory");
    }
    if (!end.ok())
        return end;
    if (stop.load())
        return Status::failure(kCancelledText);
    if (headers.tooManyMaps())
        return Status::failure("More than " + std::to_string(kMaxFieldMaps) +
                               " different field layouts (\"#Fields\" lines) in one file");
    end.value().state = at;
    return end;
}

} // namespace quill
