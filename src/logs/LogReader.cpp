#include "logs/LogReader.h"

#include "logs/BlockWorker.h"
#include "logs/HeaderTracker.h"
#include "logsource/BufferPool.h"
#include "logsource/LineSplitter.h"
#include "logsource/LogSource.h"
#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/Worker.h"

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>

namespace quill {
namespace {

// Blocks of about this size go to the workers; a block always ends just after a line end, or
// inside a run of bytes <= 0x20 that the load skips between lines.
constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxBlocksInFlight = 6;

// Runs blocks on worker threads while the reader goes on. A worker finds a block's lines, applies
// its header lines once every earlier block's are applied, copies kept lines into its own arena,
// then appends their records to the store's array strictly in file order. The reader itself never
// looks inside a block, so the first pass over the file's bytes is shared by the workers. Input
// buffers come back for reuse, so the reader keeps reading into memory that is already mapped.
class BlockPool {
public:
    BlockPool(const LineMatcher& matcher, HeaderTracker& headers, RecordArray& records,
              const std::shared_ptr<RegionCache>& cache, size_t maxLine, size_t bufferBytes)
        : m_headers(headers), m_records(records), m_buffers(bufferBytes)
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

    // An input buffer of the splitter's block size; nullptr when there is no memory for one (the
    // splitter then says so).
    ByteBuffer takeBuffer() { return m_buffers.take(); }

    // True once a block failed; what follows is not worth reading.
    bool failed() const { return m_failed.load(); }
    // True once a block ended the file (a 0x1A between lines, or too many field maps); the
    // blocks after it are dropped.
    bool ended() const { return m_ended.load(); }

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
                    outcome = worker->findLines(*block);
            } catch (const std::bad_alloc&) {
            }
            const bool dropped = !applyHeadersInTurn(*block, outcome, worker);
            try {
                if (!dropped && outcome == BlockOutcome::Done)
                    outcome = worker->keepLines(*block);
            } catch (const std::bad_alloc&) {
                outcome = BlockOutcome::OutOfMemory;
            }
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [&] { return m_appended == block->sequence; });
            }
            // Only the worker whose turn it is appends, so the array needs no lock.
            if (!dropped && outcome == BlockOutcome::Done && !m_records.append(worker->kept()))
                outcome = BlockOutcome::OutOfMemory;
            {
                std::lock_guard lock(m_mutex);
                // The first failure in file order is the one reported; a block after the file's
                // end counts for nothing.
                if (!dropped && m_outcome == BlockOutcome::Done && outcome != BlockOutcome::Done) {
                    m_outcome = outcome;
                    m_failed.store(true);
                }
                if (!m_failed.load())
                    m_buffers.give(std::move(block->input), block->capacity);
                block->input.reset();
                ++m_appended;
                --m_inFlight;
            }
            m_changed.notify_all();
        }
    }

    // Waits for the turn of `block`, then applies its header lines; false when an earlier block
    // ended the file, so this one is dropped.
    bool applyHeadersInTurn(LogBlock& block, BlockOutcome& outcome, const std::optional<BlockWorker>& worker)
    {
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_headed == block.sequence; });
        }
        const bool dropped = m_ended.load();
        // Only the worker whose turn it is touches the tracker; the lock hands it over.
        if (!dropped && outcome == BlockOutcome::Done) {
            try {
                if (m_headers.applyBlock(block, worker->headerLines(), worker->endMark()))
                    m_ended.store(true);
            } catch (const std::bad_alloc&) {
                outcome = BlockOutcome::OutOfMemory;
            }
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_headed;
        }
        m_changed.notify_all();
        return !dropped;
    }

    HeaderTracker& m_headers;
    RecordArray& m_records;
    BufferPool m_buffers;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<LogBlock*> m_queue;
    size_t m_inFlight = 0;
    size_t m_headed = 0;   // blocks whose header lines are applied
    size_t m_appended = 0; // blocks whose records are in the array
    bool m_closing = false;
    BlockOutcome m_outcome = BlockOutcome::Done;
    std::atomic<bool> m_failed = false;
    std::atomic<bool> m_ended = false;
    std::vector<std::unique_ptr<TextArena>> m_arenas;
    std::vector<std::unique_ptr<Worker>> m_workers;
};


// Hands the log's blocks of whole lines to the pool, in order, until the log or the pool ends.
// Kept lines point into `mapped` (the file's mapping) where there is one.
Status submitBlocks(LineSplitter& lines, const char* mapped, BlockPool& pool, std::vector<std::unique_ptr<LogBlock>>& blocks)
{
    size_t offset = 0;
    while (!pool.failed() && !pool.ended()) {
        LineBlock lineBlock;
        lineBlock.buffer = pool.takeBuffer();
        lineBlock.capacity = lineBlock.buffer ? lines.blockBytes() : 0;
        const Result<bool> got = lines.next(lineBlock);
        if (!got.ok())
            return got.status();
        if (!got.value())
            return {};
        auto block = std::make_unique<LogBlock>();
        block->data = lineBlock.data;
        block->size = lineBlock.size;
        block->input = std::move(lineBlock.buffer);
        block->capacity = lineBlock.capacity;
        block->startsFile = lineBlock.startsLog;
        block->mappedText = mapped ? mapped + offset : nullptr;
        offset += block->size;
        block->sequence = blocks.size();
        blocks.push_back(std::move(block));
        pool.submit(blocks.back().get());
    }
    return {};
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

Result<LogFile> readInto(const std::string& path, const FilterSnapshot& filters, LogFormat& format, FieldMap& map,
                         RecordStore& store, const std::shared_ptr<RegionCache>& cache, const LoadLimits& limits,
                         ReadEnd* end)
{
    Result<OpenedLog> opened = openLog(path);
    if (!opened.ok())
        return opened.status();
    if (opened.value().state != LogPathState::Log)
        return LogFile::Missing; // nothing there, or a folder: the list just stays empty
    LogSource& source = *opened.value().source;

    // Header state goes to copies, so a failed read leaves the caller's state as it was.
    LogFormat newFormat = format;
    FieldMap newMap = map;
    HeaderTracker headers(newFormat, newMap, limits.fieldMaps);
    const LineMatcher matcher(filters);
    // A data line takes at least 11 bytes: room for every record but those of a growing file.
    RecordArray records;
    if (!records.reserve(static_cast<size_t>(source.sizeAtOpen() / 11) + 16))
        return Status::failure(kOutOfMemoryText);
    std::vector<std::unique_ptr<LogBlock>> blocks;
    // A plain file is mapped, so its kept lines need neither a copy nor memory, but it is read
    // with read calls all the same: the kernel copies the page cache through its own large
    // pages, while the first pass over a mapping of small pages waits on page walks for every
    // 4 KiB (four times as long on a virtual machine). The blocks must then match the mapping.
    std::unique_ptr<MappedFile> mapping = source.map();
    // A load to be followed stops after the last whole line; the rest is read once it is whole.
    const bool following = end && source.readsAtOffsets();
    std::uint64_t readTo = source.sizeAtOpen();
    std::unique_ptr<ByteSource> wholeLines;
    if (following) {
        const Result<std::uint64_t> linesEnd = source.wholeLinesEnd(readTo);
        if (!linesEnd.ok())
            return linesEnd.status();
        readTo = linesEnd.value();
        wholeLines = source.range(0, readTo);
    } else if (mapping) {
        wholeLines = source.range(0, mapping->size()); // not what is appended meanwhile
    }
    const SplitOptions split{kBlockBytes, limits.lineBytes, true};
    LineSplitter lines(wholeLines ? *wholeLines : source.stream(), split);
    BlockPool pool(matcher, headers, records, cache, limits.lineBytes, lines.blockBytes());
    const Status read = submitBlocks(lines, mapping ? mapping->data() : nullptr, pool, blocks);
    const BlockOutcome outcome = pool.finish();
    const bool endMark = pool.ended() && !headers.tooManyMaps();
    if (outcome == BlockOutcome::LineTooLong)
        return Status::failure(lineTooLongText(limits.lineBytes));
    if (outcome == BlockOutcome::OutOfMemory)
        return Status::failure(kOutOfMemoryText);
    if (!read.ok() && !pool.ended()) // what was read ahead past the file's end does not count
        return read;
    if (headers.tooManyMaps())
        return Status::failure(tooManyLayoutsText(limits.fieldMaps));
    size_t mappedBytes = 0;
    if (mapping) {
        // A file cut short while it was mapped reads as zero bytes past its new end: the lines
        // that stood there are gone. Zeros where the file still has bytes mean the disk failed.
        mappedBytes = std::min<size_t>(mapping->size(), source.sizeNow().value_or(mapping->size()));
        if (mapping->readableBytes() < mappedBytes)
            return Status::failure(fileErrorText(EIO));
        records.truncate(recordsBefore(records, mapping->data() + mappedBytes));
    }

    if (following) {
        end->followable = !endMark;
        end->file = source.identity();
        end->offset = std::min<std::uint64_t>(readTo, mapping ? mappedBytes : readTo);
    }
    store.assign(std::move(records), pool.takeArenas(), std::move(mapping), mappedBytes, headers.takeMaps());
    if (cache)
        cache->releaseAll(); // what this load did not reuse
    format = newFormat;
    map = newMap;
    return LogFile::Read;
}

} // namespace

std::string tooManyLayoutsText(std::uint32_t limit)
{
    return "More than " + std::to_string(limit) + " different field layouts (\"#Fields\" lines) in one file";
}

Result<LogFile> readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                            FieldMap& map, RecordStore& store, const std::shared_ptr<RegionCache>& cache,
                            const LoadLimits& limits, ReadEnd* end)
{
    store.clear();
    if (end)
        *end = {};
    try {
        return readInto(path, filters, format, map, store, cache, limits, end);
    } catch (const std::bad_alloc&) {
        store.clear();
        return Status::failure(kOutOfMemoryText);
    }
}

} // namespace quill
