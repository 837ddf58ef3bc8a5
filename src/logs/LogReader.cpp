#include "logs/LogReader.h"

#include "logs/BlockWorker.h"
#include "logs/HeaderTracker.h"
#include "logsource/ByteSource.h"
#include "platform/LineScan.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/Worker.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <new>
#include <optional>
#include <poll.h>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace quill {
namespace {

// Blocks of about this size go to the workers; a block always ends just after a line end.
constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxBlocksInFlight = 6;
// How long a pipe may stay without a writer before the load gives up on it.
constexpr int kWriterWaitMs = 1000;

// Runs blocks on worker threads while the reader goes on. Each worker copies kept lines into its
// own arena, then appends their records to the store's array strictly in file order. Input
// buffers come back for reuse, so the reader keeps reading into memory that is already mapped.
class BlockPool {
public:
    BlockPool(const LineMatcher& matcher, RecordArray& records, const std::shared_ptr<RegionCache>& cache,
              size_t maxLine)
        : m_records(records)
    {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
        for (unsigned i = 0; i < count; ++i)
            m_arenas.push_back(std::make_unique<TextArena>(cache));
        // With too little memory for a second thread, one does the work.
        m_workers.reserve(count);
        for (unsigned i = 0; i < count; ++i) {
            auto worker = std::make_unique<Worker>();
            try {
                worker->start([this, &matcher, i, maxLine](const std::atomic<bool>&, const Worker::Post&) {
                    run(matcher, *m_arenas[i], maxLine);
                });
            } catch (const std::system_error&) {
                if (m_workers.empty())
                    throw std::bad_alloc();
                break;
            }
            m_workers.push_back(std::move(worker));
        }
    }

    ~BlockPool() { finish(); }

    void submit(LogBlock* block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_inFlight < kMaxBlocksInFlight; });
        ++m_inFlight;
        m_queue.push_back(block);
        m_changed.notify_all();
    }

    // An input buffer of kBlockBytes, reused when one is free.
    std::unique_ptr<char[]> takeBuffer()
    {
        std::lock_guard lock(m_mutex);
        if (m_freeBuffers.empty())
            return std::make_unique_for_overwrite<char[]>(kBlockBytes);
        auto buffer = std::move(m_freeBuffers.back());
        m_freeBuffers.pop_back();
        return buffer;
    }

    // True once a block failed; what follows is not worth reading.
    bool failed() const { return m_failed.load(); }

    // Waits for every submitted block; how the worst of them ended.
    BlockOutcome finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (const std::unique_ptr<Worker>& worker : m_workers)
            worker->stop(); // they end once the queue is empty
        m_workers.clear();
        return m_outcome;
    }

    std::vector<std::unique_ptr<TextArena>> takeArenas() { return std::move(m_arenas); }

private:
    void run(const LineMatcher& matcher, TextArena& arena, size_t maxLine)
    {
        std::optional<BlockWorker> worker;
        try {
            worker.emplace(matcher, arena, maxLine);
        } catch (const std::bad_alloc&) {
        }
        while (true) {
            LogBlock* block = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                block = m_queue.front();
                m_queue.pop_front();
            }
            BlockOutcome outcome = BlockOutcome::OutOfMemory;
            try {
                if (worker && !m_failed.load())
                    outcome = worker->process(*block);
            } catch (const std::bad_alloc&) {
            }
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_appended == block->sequence; });
            }
            // Only the worker whose turn it is appends, so the array needs no lock.
            if (outcome == BlockOutcome::Done && !m_records.append(worker->kept()))
                outcome = BlockOutcome::OutOfMemory;
            {
                std::lock_guard lock(m_mutex);
                // The first failure in file order is the one reported.
                if (m_outcome == BlockOutcome::Done && outcome != BlockOutcome::Done) {
                    m_outcome = outcome;
                    m_failed.store(true);
                }
                if (block->capacity == kBlockBytes && !m_failed.load()) {
                    try {
                        m_freeBuffers.push_back(std::move(block->input));
                    } catch (const std::bad_alloc&) {
                    }
                }
                block->input.reset();
                ++m_appended;
                --m_inFlight;
            }
            m_changed.notify_all();
        }
    }

    RecordArray& m_records;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<LogBlock*> m_queue;
    std::vector<std::unique_ptr<char[]>> m_freeBuffers;
    size_t m_inFlight = 0;
    size_t m_appended = 0; // blocks whose records are in the array
    bool m_closing = false;
    BlockOutcome m_outcome = BlockOutcome::Done;
    std::atomic<bool> m_failed = false;
    std::vector<std::unique_ptr<TextArena>> m_arenas;
    std::vector<std::unique_ptr<Worker>> m_workers;
};


// Where a block of `used` bytes may end: after its last line end, or at its end when only bytes
// <= 0x20 follow (they lie between lines, so a run of them as long as a sparse file's hole never
// has to fit into one block). 0 when the block holds no end of a line yet.
size_t cutPoint(const LogBlock& block, size_t used, bool atEnd)
{
    if (atEnd)
        return used;
    const char* data = block.data;
    const size_t lineEnd = afterLastLineEnd(data, used);
    if (lineEnd == 0 && block.startsFile)
        return 0;
    return skipBlankBytes(data + lineEnd, data + used) == data + used ? used : lineEnd;
}

std::string lineTooLongText(size_t limit) { return "Line too long: more than " + std::to_string(limit) + " bytes"; }

// Reads the source into blocks of whole lines and hands each to the pool, starting with the
// bytes already `taken` from it.
Status readBlocks(ByteSource& source, std::string_view taken, size_t maxLine, HeaderTracker& headers,
                  BlockPool& pool, std::vector<std::unique_ptr<LogBlock>>& blocks)
{
    auto block = std::make_unique<LogBlock>();
    block->input = pool.takeBuffer();
    block->data = block->input.get();
    block->capacity = kBlockBytes;
    block->startsFile = true;
    std::memcpy(block->input.get(), taken.data(), taken.size());
    size_t used = taken.size();
    bool atEnd = false;
    while (!atEnd && !pool.failed()) {
        if (used == block->capacity) { // a line longer than the buffer: let it grow
            // A block starts at a line (or at blank bytes, which never make it grow), so all of
            // it is one line.
            if (block->capacity > maxLine)
                return Status::failure(lineTooLongText(maxLine));
            const size_t capacity = std::min(block->capacity * 2, maxLine + 1);
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(grown.get(), block->input.get(), used);
            block->input = std::move(grown);
            block->data = block->input.get();
            block->capacity = capacity;
        }
        const Result<size_t> got = source.read(block->input.get() + used, block->capacity - used);
        if (!got.ok())
            return got.status();
        used += got.value();
        atEnd = got.value() == 0;
        if (!atEnd && used < block->capacity)
            continue;
        const size_t cut = cutPoint(*block, used, atEnd);
        if (cut == 0 && !atEnd)
            continue;

        // The unfinished last line moves to the next block.
        auto next = std::make_unique<LogBlock>();
        const size_t rest = used - cut;
        next->capacity = std::max(kBlockBytes, std::min(rest * 2, maxLine + 1));
        next->input = next->capacity == kBlockBytes ? pool.takeBuffer()
                                                    : std::make_unique_for_overwrite<char[]>(next->capacity);
        next->data = next->input.get();
        std::memcpy(next->input.get(), block->input.get() + cut, rest);
        used = rest;

        block->size = cut;
        block->sequence = blocks.size();
        if (headers.scanBlock(*block))
            atEnd = true;
        blocks.push_back(std::move(block));
        pool.submit(blocks.back().get());
        block = std::move(next);
    }
    return {};
}

// Cuts a mapped file into blocks of whole lines and hands each to the pool.
void mapBlocks(const MappedFile& file, HeaderTracker& headers, BlockPool& pool,
               std::vector<std::unique_ptr<LogBlock>>& blocks)
{
    for (size_t offset = 0; offset < file.size() && !pool.failed();) {
        auto block = std::make_unique<LogBlock>();
        block->data = file.data() + offset;
        block->mapped = true;
        block->startsFile = offset == 0;
        const size_t left = file.size() - offset;
        size_t used = std::min(kBlockBytes, left);
        size_t cut = 0;
        while ((cut = cutPoint(*block, used, used == left)) == 0)
            used = std::min(used * 2, left);
        block->size = cut;
        block->sequence = blocks.size();
        offset += cut;
        const bool ended = headers.scanBlock(*block);
        blocks.push_back(std::move(block));
        pool.submit(blocks.back().get());
        if (ended)
            return;
    }
}

// How many records, from the first, have their text before `end`.
size_t recordsBefore(const RecordArray& records, const char* end)
{
    const auto all = records.all();
    const auto inside = std::partition_point(all.begin(), all.end(), [&](const LogRecord& r) {
        return r.text + r.length <= end;
    });
    return static_cast<size_t>(inside - all.begin());
}

// Opens without blocking, so a pipe nobody writes to cannot hold the load; a pipe gets a moment
// for its writer to turn up. -1 with errno set, or -2 when no writer came. A byte read to learn
// whether a quiet pipe has a writer goes to `taken`.
int openLog(const std::string& path, struct stat& info, std::string& taken)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return -1;
    int failure = 0;
    bool timedOut = false, noWriter = false;
    if (fstat(fd, &info) != 0) {
        failure = errno;
    } else if (S_ISFIFO(info.st_mode) && !waitForBytes(fd, kWriterWaitMs, timedOut)) {
        failure = errno;
    } else if (timedOut) {
        // Quiet so far: with a writer the read finds nothing yet, without one the end.
        char byte;
        const ssize_t got = readSome(fd, &byte, 1);
        if (got == 1)
            taken.assign(1, byte);
        else if (got == 0)
            noWriter = true;
        else if (errno != EAGAIN)
            failure = errno;
    }
    if (failure != 0 || noWriter) {
        close(fd);
        errno = failure;
        return noWriter ? -2 : -1;
    }
    return fd;
}

Result<LogFile> readInto(const std::string& path, const FilterSnapshot& filters, LogFormat& format, FieldMap& map,
                         RecordStore& store, const std::shared_ptr<RegionCache>& cache, const LoadLimits& limits)
{
    struct stat info {};
    std::string taken;
    const int fd = openLog(path, info, taken);
    if (fd == -2)
        return Status::failure("No program writes to this pipe");
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
            return LogFile::Missing;
        return Status::failure(fileErrorText(errno));
    }
    FileHandle file(fd);
    if (S_ISDIR(info.st_mode))
        return LogFile::Missing;

    // Header state goes to copies, so a failed read leaves the caller's state as it was.
    LogFormat newFormat = format;
    FieldMap newMap = map;
    HeaderTracker headers(newFormat, newMap, limits.fieldMaps);
    const LineMatcher matcher(filters);
    // A data line takes at least 11 bytes: room for every record but those of a growing file.
    RecordArray records;
    if (!records.reserve(static_cast<size_t>(info.st_size) / 11 + 16))
        return Status::failure(kOutOfMemoryText);
    std::vector<std::unique_ptr<LogBlock>> blocks;
    // A regular file is mapped rather than read: its kept lines need neither a copy nor memory.
    // An archive is read through its decompressor, as the log inside it.
    const ArchiveKind archive = S_ISREG(info.st_mode) ? archiveKindOf(path) : ArchiveKind::None;
    Result<std::unique_ptr<ByteSource>> source = openArchive(file.get(), archive);
    if (!source.ok())
        return source.status();
    std::unique_ptr<MappedFile> mapping;
    if (S_ISREG(info.st_mode) && archive == ArchiveKind::None)
        mapping = MappedFile::map(file.get(), static_cast<size_t>(info.st_size));
    BlockPool pool(matcher, records, cache, limits.lineBytes);
    Status read;
    if (mapping)
        mapBlocks(*mapping, headers, pool, blocks);
    else
        read = readBlocks(*source.value(), taken, limits.lineBytes, headers, pool, blocks);
    const BlockOutcome outcome = pool.finish();
    if (outcome == BlockOutcome::LineTooLong)
        return Status::failure(lineTooLongText(limits.lineBytes));
    if (outcome == BlockOutcome::OutOfMemory)
        return Status::failure(kOutOfMemoryText);
    if (!read.ok())
        return read;
    if (headers.tooManyMaps())
        return Status::failure("More than " + std::to_string(limits.fieldMaps) +
                               " different field layouts (\"#Fields\" lines) in one file");
    size_t mappedBytes = 0;
    if (mapping) {
        // A file cut short while it was mapped reads as zero bytes past its new end: the lines
        // that stood there are gone. Zeros where the file still has bytes mean the disk failed.
        mappedBytes = mapping->size();
        if (fstat(file.get(), &info) == 0)
            mappedBytes = std::min(mappedBytes, static_cast<size_t>(info.st_size));
        if (mapping->readableBytes() < mappedBytes)
            return Status::failure(fileErrorText(EIO));
        records.truncate(recordsBefore(records, mapping->data() + mappedBytes));
    }

    store.assign(std::move(records), pool.takeArenas(), std::move(mapping), mappedBytes, headers.takeMaps());
    if (cache)
        cache->releaseAll(); // what this load did not reuse
    format = newFormat;
    map = newMap;
    return LogFile::Read;
}

} // namespace

Result<LogFile> readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                            FieldMap& map, RecordStore& store, const std::shared_ptr<RegionCache>& cache,
                            const LoadLimits& limits)
{
    store.clear();
    try {
        return readInto(path, filters, format, map, store, cache, limits);
    } catch (const std::bad_alloc&) {
        store.clear();
        return Status::failure(kOutOfMemoryText);
    }
}

} // namespace quill
