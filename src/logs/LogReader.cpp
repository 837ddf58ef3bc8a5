#include "logs/LogReader.h"

#include "logs/HeaderStep.h"
#include "logs/LineMatcher.h"
#include "logs/LineScan.h"
#include "platform/FileSystem.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <unordered_map>

namespace quill {
namespace {

// Blocks of about this size are handed to the workers; a block always ends after a line end.
constexpr size_t kBlockBytes = size_t(4) << 20;
constexpr size_t kMaxBlocksInFlight = 6;
constexpr size_t kMinBlanksOfDataLine = 9; // 11 tokens once "- " is put in front
constexpr size_t kHashFreePrefix = 8;      // the first 10 characters with the prefix

struct MapTransition {
    size_t offset; // applies to data lines starting at or after this block offset
    std::uint32_t mapId;
    FieldMap map;
};

struct Block {
    TextBlock input;
    size_t size = 0;
    bool startsFile = false;
    std::vector<MapTransition> transitions;
    std::vector<LogRecord> records; // results, text pointing into `text`
    TextBlock text;
};

TextBlock allocate(size_t bytes)
{
    return TextBlock(static_cast<char*>(std::malloc(std::max<size_t>(bytes, 1))));
}

bool isDataLine(const char* line, size_t length, size_t blanks)
{
    return blanks >= kMinBlanksOfDataLine && !std::memchr(line, '#', std::min(length, kHashFreePrefix));
}

// Position just after the last CR or LF in [data, data + size), or 0 when there is none.
size_t afterLastLineEnd(const char* data, size_t size)
{
    const void* lf = memrchr(data, '\n', size);
    const void* cr = memrchr(data, '\r', size);
    const char* last = std::max(static_cast<const char*>(lf), static_cast<const char*>(cr));
    return last ? static_cast<size_t>(last - data) + 1 : 0;
}

class MapRegistry {
public:
    std::uint32_t idOf(const FieldMap& map)
    {
        std::string key(map.slots.begin(), map.slots.end());
        auto [it, added] = m_ids.try_emplace(key, static_cast<std::uint32_t>(m_maps.size()));
        if (added)
            m_maps.push_back(map);
        return it->second;
    }
    std::vector<FieldMap> take() { return std::move(m_maps); }

private:
    std::vector<FieldMap> m_maps;
    std::unordered_map<std::string, std::uint32_t> m_ids;
};

// The sequential part of a load, run on each block in file order before a worker sees it: finds
// where a 0x1A ends the file and applies every header line, so each block knows its field maps.
class HeaderTracker {
public:
    HeaderTracker(LogFormat& format, FieldMap& map) : m_format(format), m_map(map)
    {
        m_mapId = m_registry.idOf(map);
    }

    // Cuts the block at a 0x1A that stands between lines; returns true when it found one.
    bool cutAtEndMark(Block& block)
    {
        const char* data = block.input.get();
        size_t insideUpTo = 0; // bytes before this are known to be no end mark
        for (size_t at = 0; at < block.size;) {
            const void* hit = std::memchr(data + at, 0x1A, block.size - at);
            if (!hit)
                return false;
            size_t z = static_cast<size_t>(static_cast<const char*>(hit) - data);
            if (standsBetweenLines(block, z, insideUpTo)) {
                block.size = z;
                return true;
            }
            insideUpTo = z + 1;
            at = z + 1;
        }
        return false;
    }

    void collectHeaders(Block& block)
    {
        block.transitions.push_back({0, m_mapId, m_map});
        const char* data = block.input.get();
        for (size_t at = 0; at < block.size;) {
            const void* hit = std::memchr(data + at, '#', block.size - at);
            if (!hit)
                return;
            size_t h = static_cast<size_t>(static_cast<const char*>(hit) - data);
            size_t before = afterLastLineEnd(data, h);
            const char* start = data + before;
            if (before > 0 || !block.startsFile)
                start = skipBlankBytes(start, data + h);
            size_t blanks = 0;
            const char* end = findLineEnd(start, data + block.size, blanks);
            if (!isDataLine(start, static_cast<size_t>(end - start), blanks)) {
                applyHeaderLine(std::string_view(start, static_cast<size_t>(end - start)), m_format, m_map);
                std::uint32_t id = m_registry.idOf(m_map);
                if (id != m_mapId) {
                    m_mapId = id;
                    block.transitions.push_back({static_cast<size_t>(end - data), id, m_map});
                }
            }
            at = static_cast<size_t>(end - data);
        }
    }

    std::vector<FieldMap> takeMaps() { return m_registry.take(); }

private:
    // A 0x1A ends the file when only bytes <= 0x20 separate it from the previous line end.
    static bool standsBetweenLines(const Block& block, size_t z, size_t insideUpTo)
    {
        const char* data = block.input.get();
        for (size_t i = z; i > insideUpTo; --i) {
            auto c = static_cast<unsigned char>(data[i - 1]);
            if (c == '\r' || c == '\n')
                return true;
            if (c > 0x20)
                return false;
        }
        if (insideUpTo > 0)
            return false;
        return !block.startsFile; // a later block starts right after a line end
    }

    LogFormat& m_format;
    FieldMap& m_map;
    MapRegistry m_registry;
    std::uint32_t m_mapId = 0;
};

// Splits a block into its data lines, runs the keep test on them and copies the kept ones.
class BlockWorker {
public:
    explicit BlockWorker(const LineMatcher& matcher) : m_matcher(matcher), m_scratch(matcher.makeScratch()) {}

    void process(Block& block)
    {
        findDataLines(block);
        std::string_view text(block.input.get(), block.size);
        m_matcher.scan(text, m_lines, m_masks, *m_scratch);

        m_decisions.clear();
        size_t keptBytes = 0;
        size_t t = 0;
        for (size_t i = 0; i < m_lines.size(); ++i) {
            const LineSpan& span = m_lines[i];
            while (t + 1 < block.transitions.size() && block.transitions[t + 1].offset <= span.begin)
                ++t;
            std::string_view line = text.substr(span.begin, span.end - span.begin);
            KeepDecision decision = m_matcher.decide(m_masks[i], line, block.transitions[t].map);
            if (!decision.keep)
                continue;
            const std::uint32_t mapAndCrawler =
                (block.transitions[t].mapId << 8) | static_cast<std::uint32_t>(decision.crawlerRow);
            m_decisions.push_back({i, mapAndCrawler});
            keptBytes += storedLength(span);
        }

        block.text = allocate(keptBytes);
        block.records.reserve(m_decisions.size());
        char* out = block.text.get();
        for (auto [i, mapAndCrawler] : m_decisions) {
            const size_t length = storedLength(m_lines[i]);
            std::memcpy(out, block.input.get() + m_lines[i].begin, length);
            block.records.push_back({out, static_cast<std::uint32_t>(length), mapAndCrawler});
            out += length;
        }
        block.input.reset();
    }

private:
    // A record holds at most 4 GiB - 1 bytes of its line.
    static size_t storedLength(const LineSpan& span) { return std::min<size_t>(span.end - span.begin, UINT32_MAX); }

    void findDataLines(const Block& block)
    {
        m_lines.clear();
        const char* data = block.input.get();
        const char* end = data + block.size;
        const char* p = block.startsFile ? data : skipBlankBytes(data, end);
        while (p < end && !(*p == 0x1A && (p != data || !block.startsFile))) {
            size_t blanks = 0;
            const char* lineEnd = findLineEnd(p, end, blanks);
            if (isDataLine(p, static_cast<size_t>(lineEnd - p), blanks))
                m_lines.push_back({static_cast<size_t>(p - data), static_cast<size_t>(lineEnd - data)});
            p = skipBlankBytes(lineEnd, end);
        }
    }

    const LineMatcher& m_matcher;
    LineMatcher::ScratchPtr m_scratch;
    std::vector<LineSpan> m_lines;
    std::vector<std::uint32_t> m_masks;
    struct Kept {
        size_t line;
        std::uint32_t mapAndCrawler;
    };
    std::vector<Kept> m_decisions;
};

// Runs blocks on worker threads while the reader goes on; results stay in their blocks.
class BlockPool {
public:
    explicit BlockPool(const LineMatcher& matcher)
    {
        unsigned count = std::clamp(std::thread::hardware_concurrency(), 1u, 2u);
        for (unsigned i = 0; i < count; ++i)
            m_threads.emplace_back([this, &matcher] { run(matcher); });
    }

    ~BlockPool() { finish(); }

    void submit(Block* block)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_inFlight < kMaxBlocksInFlight; });
        ++m_inFlight;
        m_queue.push_back(block);
        m_changed.notify_all();
    }

    void finish()
    {
        {
            std::lock_guard lock(m_mutex);
            m_closing = true;
        }
        m_changed.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
        m_threads.clear();
    }

private:
    void run(const LineMatcher& matcher)
    {
        BlockWorker worker(matcher);
        while (true) {
            Block* block = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_changed.wait(lock, [this] { return m_closing || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                block = m_queue.front();
                m_queue.pop_front();
            }
            worker.process(*block);
            {
                std::lock_guard lock(m_mutex);
                --m_inFlight;
            }
            m_changed.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Block*> m_queue;
    size_t m_inFlight = 0;
    bool m_closing = false;
    std::vector<std::thread> m_threads;
};

class FileHandle {
public:
    explicit FileHandle(int fd) : m_fd(fd) {}
    ~FileHandle()
    {
        if (m_fd >= 0)
            close(m_fd);
    }
    int get() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

LoadOutcome readLogFile(const std::string& path, const FilterSnapshot& filters, LogFormat& format,
                        FieldMap& map, RecordStore& store)
{
    store.clear();
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR || errno == EISDIR)
            return LoadOutcome::noFile();
        return LoadOutcome::failed(fileErrorText(errno));
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return LoadOutcome::failed(fileErrorText(errno));
    if (S_ISDIR(info.st_mode))
        return LoadOutcome::noFile();

    // Header state is applied to copies, so a failed read leaves the caller's state as it was.
    LogFormat newFormat = format;
    FieldMap newMap = map;
    HeaderTracker headers(newFormat, newMap);
    LineMatcher matcher(filters);
    std::vector<std::unique_ptr<Block>> blocks;
    int readError = 0;
    {
        BlockPool pool(matcher);
        size_t capacity = kBlockBytes;
        TextBlock buffer = allocate(capacity);
        size_t used = 0;
        bool atEnd = false;
        bool startsFile = true;
        while (!atEnd) {
            if (used == capacity) { // a line longer than the buffer: let it grow
                capacity *= 2;
                TextBlock grown(static_cast<char*>(std::realloc(buffer.get(), capacity)));
                if (!grown) {
                    readError = ENOMEM;
                    break;
                }
                buffer.release();
                buffer = std::move(grown);
            }
            ssize_t got = read(file.get(), buffer.get() + used, capacity - used);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                readError = errno;
                break;
            }
            used += static_cast<size_t>(got);
            atEnd = got == 0;
            if (!atEnd && used < capacity)
                continue;
            size_t cut = atEnd ? used : afterLastLineEnd(buffer.get(), used);
            if (cut == 0 && !atEnd)
                continue;

            auto block = std::make_unique<Block>();
            block->size = cut;
            block->startsFile = startsFile;
            startsFile = false;
            size_t rest = used - cut;
            capacity = std::max(kBlockBytes, rest * 2);
            TextBlock next = allocate(capacity);
            std::memcpy(next.get(), buffer.get() + cut, rest);
            used = rest;
            block->input = std::move(buffer);
            buffer = std::move(next);

            if (headers.cutAtEndMark(*block))
                atEnd = true;
            headers.collectHeaders(*block);
            blocks.push_back(std::move(block));
            pool.submit(blocks.back().get());
        }
        pool.finish();
    }
    if (readError != 0)
        return LoadOutcome::failed(fileErrorText(readError));

    size_t total = 0;
    for (const auto& block : blocks)
        total += block->records.size();
    std::vector<LogRecord> records;
    records.reserve(total);
    std::vector<TextBlock> texts;
    for (auto& block : blocks) {
        records.insert(records.end(), block->records.begin(), block->records.end());
        std::vector<LogRecord>().swap(block->records);
        texts.push_back(std::move(block->text));
    }
    store.assign(std::move(records), std::move(texts), headers.takeMaps());
    format = newFormat;
    map = newMap;
    return LoadOutcome::loaded();
}

} // namespace quill
