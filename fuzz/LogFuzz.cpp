// libFuzzer target: any bytes read as a log give the same result whether the file is mapped or
// streamed out of gzip, the line splitter cuts them the same way from one read and from any
// sequence of reads, the statistics count them as the plain line-by-line rule does, and the
// same bytes taken as a damaged archive end with a message.

#include "crawlers/CountCrawlerVisits.h"
#include "crawlers/CrawlerTable.h"
#include "logs/LogReader.h"
#include "logs/RowTexts.h"
#include "logsource/LineSplitter.h"
#include "verify/LogVerification.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>
#include <zlib.h>

namespace {

// Small enough that fuzzed inputs hold longer lines.
constexpr size_t kLineBytes = 300;

void require(bool holds)
{
    if (!holds)
        std::abort();
}

const std::string& folder()
{
    static const std::string path = [] {
        std::string pattern = "/tmp/quillmark-logfuzz-XXXXXX";
        require(mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    return path;
}

std::string writeFile(const char* name, const std::string& bytes)
{
    const std::string path = folder() + "/" + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string gzip(const std::string& bytes)
{
    z_stream z{};
    require(deflateInit2(&z, 1, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK);
    std::string out(deflateBound(&z, static_cast<uLong>(bytes.size())) + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    require(deflate(&z, Z_FINISH) == Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// Hands out the bytes in reads of the sizes the input chooses.
class StutteringSource : public quill::ByteSource {
public:
    StutteringSource(const std::string& bytes, std::uint8_t seed) : m_bytes(bytes), m_seed(seed) {}
    quill::Result<size_t> read(char* into, size_t size) override
    {
        m_seed = static_cast<std::uint8_t>(m_seed * 37 + 11);
        const size_t count = std::min({size, size_t(m_seed % 97) + 1, m_bytes.size() - m_at});
        std::memcpy(into, m_bytes.data() + m_at, count);
        m_at += count;
        return count;
    }

private:
    const std::string& m_bytes;
    std::uint8_t m_seed;
    size_t m_at = 0;
};

// Everything at the first read, as from a file whose bytes are all there.
class WholeSource : public quill::ByteSource {
public:
    explicit WholeSource(const std::string& bytes) : m_bytes(bytes) {}
    quill::Result<size_t> read(char* into, size_t size) override
    {
        const size_t count = std::min(size, m_bytes.size() - m_at);
        std::memcpy(into, m_bytes.data() + m_at, count);
        m_at += count;
        return count;
    }

private:
    const std::string& m_bytes;
    size_t m_at = 0;
};

struct Blocks {
    std::vector<std::string> blocks;
    std::string failure;
};

Blocks split(quill::LineSplitter& lines)
{
    Blocks result;
    quill::LineBlock block;
    while (true) {
        const quill::Result<bool> got = lines.next(block);
        if (!got.ok()) {
            result.failure = got.status().message();
            return result;
        }
        if (!got.value())
            return result;
        result.blocks.emplace_back(block.data, block.size);
    }
}

size_t longestLine(const std::string& bytes)
{
    size_t longest = 0, current = 0;
    for (char c : bytes) {
        current = (c == '\r' || c == '\n') ? 0 : current + 1;
        longest = std::max(longest, current);
    }
    return longest;
}

void checkSplitter(const std::string& bytes, std::uint8_t seed)
{
    for (bool blankRuns : {false, true}) {
        const quill::SplitOptions options{size_t(seed % 64) + 1, kLineBytes, blankRuns};
        WholeSource whole(bytes);
        quill::LineSplitter fromWhole(whole, options);
        const Blocks once = split(fromWhole);
        StutteringSource source(bytes, seed);
        quill::LineSplitter fromStream(source, options);
        const Blocks streamed = split(fromStream);
        require(once.blocks == streamed.blocks && once.failure == streamed.failure);
        if (!blankRuns)
            require(once.failure.empty() == (longestLine(bytes) <= kLineBytes));
        if (once.failure.empty()) {
            std::string joined;
            for (const std::string& block : once.blocks) {
                require(!block.empty());
                joined += block;
            }
            require(joined == bytes);
        }
    }
}

struct Load {
    std::string failure;
    std::vector<std::string> rows;
    quill::LogFormat format = quill::LogFormat::None;
};

Load load(const std::string& path)
{
    Load result;
    quill::RecordStore store;
    quill::FieldMap map;
    const quill::Result<quill::LogFile> read =
        quill::readLogFile(path, {}, result.format, map, store, nullptr, {kLineBytes, 64});
    if (!read.ok())
        result.failure = read.status().message();
    for (std::uint32_t row = 0; row < store.count(); ++row) {
        std::string texts;
        for (const std::string& text : quill::rowTexts(store, row))
            texts += text + '\t';
        result.rows.push_back(texts);
    }
    return result;
}

// The statistics counts by their plain definition: each line on its own.
quill::StatisticsCounts countLineByLine(const std::string& bytes)
{
    quill::StatisticsCounts counts{};
    size_t start = 0;
    while (start <= bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string::npos)
            end = bytes.size();
        if (const int row = quill::statisticsRowOf(std::string_view(bytes).substr(start, end - start)); row != 0)
            ++counts[static_cast<size_t>(quill::statisticsCountIndex(row))];
        start = end + 1;
    }
    return counts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    checkSplitter(bytes, size > 0 ? data[0] : 0);

    const std::string plain = writeFile("plain.log", bytes);
    const std::string packed = writeFile("packed.log.gz", gzip(bytes));
    const Load mapped = load(plain);
    const Load streamed = load(packed);
    require(mapped.failure == streamed.failure && mapped.rows == streamed.rows && mapped.format == streamed.format);

    const std::atomic<bool> never{false};
    const auto counted = quill::countCrawlerVisits(plain, never, kLineBytes);
    const auto unpacked = quill::countCrawlerVisits(packed, never, kLineBytes);
    require(counted && unpacked && counted->counts.has_value() == unpacked->counts.has_value());
    require(counted->read.message() == unpacked->read.message());
    require(counted->counts.has_value() == (longestLine(bytes) <= kLineBytes));
    if (counted->counts) // the size of the log itself, read or inside the archive
        require(*counted->counts == *unpacked->counts && *counted->counts == countLineByLine(bytes) &&
                counted->sizeText == unpacked->sizeText);

    const auto visits = quill::collectFileVisits(plain, never, kLineBytes);
    const auto packedVisits = quill::collectFileVisits(packed, never, kLineBytes);
    require(visits && packedVisits && visits->read.message() == packedVisits->read.message());
    require(visits->requests == packedVisits->requests && visits->visits == packedVisits->visits);

    // The same bytes as archives that are almost always damaged: a message, never a crash.
    for (const char* name : {"damaged.log.gz", "damaged.zip"}) {
        const std::string path = writeFile(name, bytes);
        load(path);
        quill::countCrawlerVisits(path, never, kLineBytes);
    }
    return 0;
}
