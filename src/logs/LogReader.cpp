#include "logs/LogReader.h"

#include "logs/BlockWorker.h"
#include "logs/HeaderTracker.h"
#include "platform/LineScan.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/Worker.h"

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace quill {
namespace {

// Blocks of about this size go to the workers; a block always ends just after a line end.
constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxBlocksInFlight = 6;

// Runs blocks on worker threads while the reader goes on. Each worker copies kept lines into its
// own arena, then appends their records to the store's array strictly in file order. Input
// buffers come back for reuse, so the reader keeps reading into memory that is already mapped.
class BlockPool {
public:
    BlockPool(const LineMatcher& matcher, RecordArray& records, const std::shared_ptr<RegionCache>& cache)
        : m_records(records)
    {
        const unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
        for (unsigned i = 0; i < count; ++i)
            m_arenas.push_back(std::make_unique<TextArena>(cache));
        for (unsigned i = 0; i < count; ++i) {
            m_workers.push_back(std::make_unique<Worker>());
            m_workers.back()->start([this, &matcher, i](const std::atomic<bool>&, const Worker::Post&) {
                run(matcher, *m_arenas[i]);
            });
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

    // Waits for every submitted block; false when the kept lines did not fit in memory.
    bool finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (const std::unique_ptr<Worker>& worker : m_workers)
            worker->stop(); // they end once the queue is empty
        m_workers.clear();
        return !m_outOfMemory;
    }

    std::vector<std::unique_ptr<TextArena>> takeArenas() { return std::move(m_arenas); }

private:
    void run(const LineMatcher& matcher, TextArena& arena)
    {
        BlockWorker worker(matcher, arena);
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
            const bool processed = worker.process(*block);
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_appended == block->sequence; });
            }
            // Only the worker whose turn it is appends, so the array needs no lock.
            const bool appended = processed && m_records.append(worker.kept());
            {
                std::lock_guard lock(m_mutex);
                m_outOfMemory = m_outOfMemory || !appended;
                if (block->capacity == kBlockBytes)
                    m_freeBuffers.push_back(std::move(block->input));
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
    bool m_outOfMemory = false;
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

// Reads the file into blocks of whole lines and hands each to the pool; returns 0 or an errno value.
int readBlocks(int fd, HeaderTracker& headers, BlockPool& pool, std::vector<std::unique_ptr<LogBlock>>& blocks)
{
    auto block = std::make_unique<LogBlock>();
    block->input = pool.takeBuffer();
    block->data = block->input.get();
    block->capacity = kBlockBytes;
    block->startsFile = true;
    size_t used = 0;
    bool atEnd = false;
    while (!atEnd) {
        if (used == block->capacity) { // a line longer than the buffer: let it grow
            const size_t capacity = block->capacity * 2;
            auto grown = std::make_unique_for_overwrite<char[]>(capacity);
            std::memcpy(grown.get(), block->input.get(), used);
            block->input = std::move(grown);
            block->data = block->input.get();
            block->capacity = capacity;
        }
        const ssize_t got = readSome(fd, block->input.get() + used, block->capacity - used);
        if (got < 0)
            return errno;
        used += static_cast<size_t>(got);
        atEnd = got == 0;
        if (!atEnd && used < block->capacity)
            continue;
        const size_t cut = cutPoint(*block, used, atEnd);
        if (cut == 0 && !atEnd)
            continue;

        // The unfinished last line moves to the next block.
        auto next = std::make_unique<LogBlock>();
        const size_t rest = used - cut;
        next->capacity = std::max(kBlockBytes, rest * 2);
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
    return 0;
}

// Cuts a mapped file into blocks of whole lines and hands each to the pool.
void mapBlocks(const MappedFile& file, HeaderTracker& headers, BlockPool& pool,
               std::vector<std::unique_ptr<LogBlock>>& blocks)
{
    for (size_t offset = 0; offset < file.size();) {
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

} // namespace

Result<LogFile> readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                            FieldMap& map, RecordStore& store, const std::shared_ptr<RegionCache>& cache)
{
    store.clear();
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
            return LogFile::Missing;
        return Status::failure(fileErrorText(errno));
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return Status::failure(fileErrorText(errno));
    if (S_ISDIR(info.st_mode))
        return LogFile::Missing;

    // Header state goes to copies, so a failed read leaves the caller's state as it was.
    LogFormat newFormat = format;
    FieldMap newMap = map;
    HeaderTracker headers(newFormat, newMap);
    const LineMatcher matcher(filters);
    // A data line takes at least 11 bytes: room for every record but those of a growing file.
    RecordArray records;
    if (!records.reserve(static_cast<size_t>(info.st_size) / 11 + 16))
        return Status::failure(fileErrorText(ENOMEM));
    std::vector<std::unique_ptr<LogBlock>> blocks;
    // A regular file is mapped rather than read: its kept lines need neither a copy nor memory.
    std::unique_ptr<MappedFile> mapping;
    if (S_ISREG(info.st_mode))
        mapping = MappedFile::map(file.get(), static_cast<size_t>(info.st_size));
    BlockPool pool(matcher, records, cache);
    int error = 0;
    if (mapping)
        mapBlocks(*mapping, headers, pool, blocks);
    else
        error = readBlocks(file.get(), headers, pool, blocks);
    if (!pool.finish() && error == 0)
        error = ENOMEM;
    if (error != 0)
        return Status::failure(fileErrorText(error));
    if (mapping) {
        // A file cut short while it was mapped reads as zero bytes past its new end: the lines
        // that stood there are gone. Zeros where the file still has bytes mean the disk failed.
        size_t now = mapping->size();
        if (fstat(file.get(), &info) == 0)
            now = std::min(now, static_cast<size_t>(info.st_size));
        if (mapping->faulted() && now == mapping->size())
            return Status::failure(fileErrorText(EIO));
        records.truncate(recordsBefore(records, mapping->data() + now));
    }

    store.assign(std::move(records), pool.takeArenas(), std::move(mapping), headers.takeMaps());
    if (cache)
        cache->releaseAll(); // what this load did not reuse
    format = newFormat;
    map = newMap;
    return LogFile::Read;
}

} // namespace quill
