#include "ledger/LedgerLogText.h"

#include "logs/HeaderTracker.h"
#include "logs/LogReader.h"
#include "logsource/BufferPool.h"
#include "logsource/LineSplitter.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Worker.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <optional>

namespace quill {
namespace {

constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxBlocksInFlight = 4;
constexpr std::uint32_t kMaxFieldMaps = std::uint32_t(1) << 24;

// Hands blocks to two threads; a block goes as soon as a thread is free, since the sums do not
// depend on the order of the lines. The blocks' buffers come back for reuse, so the reader keeps
// reading into memory that is already mapped.
class BlockQueue {
public:
    using Consume = std::function<void(unsigned thread, const LogBlock& block)>;

    BlockQueue(const Consume& consume, size_t bufferBytes) : m_buffers(bufferBytes)
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

    // An input buffer of the splitter's block size; nullptr when there is no memory for one (the
    // splitter then says so).
    ByteBuffer takeBuffer() { return m_buffers.take(); }

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
            m_buffers.give(std::move(block->input), block->capacity);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::unique_ptr<LogBlock>> m_queue;
    bool m_closing = false;
    std::atomic<bool> m_failed{false};
    BufferPool m_buffers;
    std::vector<std::unique_ptr<Worker>> m_workers;
};

// The bytes already taken from a stream for the head, then the rest of the stream.
class PrefixedSource : public ByteSource {
public:
    PrefixedSource(const std::string& taken, ByteSource& rest) : m_taken(taken), m_rest(rest) {}

    Result<size_t> read(char* into, size_t size) override
    {
        if (m_at < m_taken.size()) {
            const size_t count = std::min(size, m_taken.size() - m_at);
            std::memcpy(into, m_taken.data() + m_at, count);
            m_at += count;
            return count;
        }
        return m_rest.read(into, size);
    }

private:
    const std::string& m_taken;
    ByteSource& m_rest;
    size_t m_at = 0;
};

// Discards the first `count` bytes of `source`; false when it ends before.
Result<bool> skipBytes(ByteSource& source, std::uint64_t count)
{
    std::vector<char> sink(static_cast<size_t>(std::min<std::uint64_t>(count, kBlockBytes)));
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

// Hands the splitter's blocks to the queue until the text ends, an end mark (0x1A) ends it, or
// `stop` is set; the offset after the last line handed on.
Result<std::uint64_t> submitBlocks(LineSplitter& lines, std::uint64_t from, HeaderTracker& headers,
                                   BlockQueue& queue, const std::atomic<bool>& stop)
{
    std::uint64_t offset = from;
    while (!queue.failed()) {
        if (stop.load())
            return Status::failure(kCancelledText);
        LineBlock lineBlock;
        lineBlock.buffer = queue.takeBuffer();
        lineBlock.capacity = lineBlock.buffer ? lines.blockBytes() : 0;
        const Result<bool> got = lines.next(lineBlock);
        if (!got.ok())
            return got.status();
        if (!got.value())
            break;
        auto block = std::make_unique<LogBlock>();
        block->data = lineBlock.data;
        block->size = lineBlock.size;
        block->input = std::move(lineBlock.buffer);
        block->capacity = lineBlock.capacity;
        block->startsFile = lineBlock.startsLog && from == 0;
        const bool ended = headers.scanBlock(*block);
        offset += block->size; // cut at an end mark
        queue.submit(std::move(block));
        if (ended)
            break;
    }
    return offset;
}

} // namespace

Result<std::unique_ptr<LedgerLogText>> LedgerLogText::open(const std::string& path, const std::atomic<bool>& stop)
{
    Result<OpenedLog> opened = openLog(path, &stop);
    if (!opened.ok())
        return opened.status();
    if (opened.value().state != LogPathState::Log)
        return Status::failure(noLogText(opened.value().state));
    if (opened.value().source->isPipe())
        return Status::failure("A pipe cannot be added to the ledger: what it held cannot be read again");
    return std::unique_ptr<LedgerLogText>(new LedgerLogText(std::move(opened.value().source)));
}

Result<std::string> LedgerLogText::head(size_t bytes)
{
    std::string text(bytes, '\0');
    size_t got = 0;
    if (m_source->readsAtOffsets()) {
        const Result<size_t> read = m_source->readAt(0, text.data(), bytes);
        if (!read.ok())
            return read.status();
        got = read.value();
    } else {
        while (got < bytes) {
            const Result<size_t> read = m_source->stream().read(text.data() + got, bytes - got);
            if (!read.ok())
                return read.status();
            if (read.value() == 0)
                break;
            got += read.value();
        }
    }
    text.resize(got);
    if (!m_source->readsAtOffsets())
        m_taken = text;
    return text;
}

Result<LogReadEnd> LedgerLogText::read(std::uint64_t from, const HeaderState& state,
                                       const std::function<void(unsigned thread, const LogBlock& block)>& consume,
                                       const std::atomic<bool>& stop)
{
    HeaderState at = state;
    HeaderTracker headers(at.format, at.map, kMaxFieldMaps);
    const SplitOptions split{kBlockBytes, kMaxLineBytes, true};
    std::uint64_t readTo = from;
    try {
        BlockQueue queue(consume, kBlockBytes);
        std::unique_ptr<ByteSource> bytes;
        std::optional<PrefixedSource> archived;
        std::optional<LineSplitter> lines;
        if (m_source->readsAtOffsets()) {
            // Up to the last line end: the web server may still be writing the line after it.
            const Result<std::uint64_t> linesEnd = m_source->wholeLinesEnd(m_source->sizeAtOpen());
            if (!linesEnd.ok())
                return linesEnd.status();
            if (linesEnd.value() <= from)
                return LogReadEnd{from, state};
            // Read, not mapped: the kernel's copy is faster than a first pass over a mapping.
            bytes = m_source->range(from, linesEnd.value());
            lines.emplace(*bytes, split);
        } else {
            archived.emplace(m_taken, m_source->stream());
            const Result<bool> skipped = skipBytes(*archived, from);
            if (!skipped.ok())
                return skipped.status();
            if (!skipped.value())
                return LogReadEnd{from, state}; // shorter than what was read before: nothing new
            lines.emplace(*archived, split);
        }
        const Result<std::uint64_t> submitted = submitBlocks(*lines, from, headers, queue, stop);
        if (!queue.finish())
            return Status::failure(kOutOfMemoryText);
        if (!submitted.ok())
            return submitted.status();
        readTo = submitted.value();
        // A file cut short while it was read: nothing of it counts.
        if (m_source->readsAtOffsets() && m_source->sizeNow().value_or(0) < readTo)
            return Status::failure(gbk("日志文件在读取时被截短，没有添加"));
    } catch (const std::bad_alloc&) {
        return Status::failure(kOutOfMemoryText);
    }
    if (stop.load())
        return Status::failure(kCancelledText);
    if (headers.tooManyMaps())
        return Status::failure(tooManyLayoutsText(kMaxFieldMaps));
    return LogReadEnd{readTo, at};
}

} // namespace quill
