#include "logsource/LineSplitter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace quill;

namespace {

// Bytes held in memory, handed out at most `step` at a time, as a pipe hands them out.
class ChunkedSource : public ByteSource {
public:
    ChunkedSource(std::string bytes, size_t step) : m_bytes(std::move(bytes)), m_step(step) {}

    Result<size_t> read(char* into, size_t size) override
    {
        const size_t count = std::min({size, m_step, m_bytes.size() - m_at});
        std::memcpy(into, m_bytes.data() + m_at, count);
        m_at += count;
        return count;
    }

private:
    std::string m_bytes;
    size_t m_step;
    size_t m_at = 0;
};

class FailingSource : public ByteSource {
public:
    Result<size_t> read(char*, size_t) override { return Status::failure("I/O error 5"); }
};

struct Split {
    std::vector<std::string> blocks;
    std::string failure;
    std::uint64_t bytesRead = 0;
};

Split drain(LineSplitter& lines)
{
    Split split;
    LineBlock block;
    while (true) {
        const Result<bool> got = lines.next(block);
        if (!got.ok()) {
            split.failure = got.status().message();
            break;
        }
        if (!got.value())
            break;
        EXPECT_EQ(block.startsLog, split.blocks.empty());
        split.blocks.emplace_back(block.data, block.size);
    }
    split.bytesRead = lines.bytesRead();
    return split;
}

Split splitStream(const std::string& bytes, size_t step, const SplitOptions& options)
{
    ChunkedSource source(bytes, step);
    LineSplitter lines(source, options);
    return drain(lines);
}

// The bytes as one read delivers them when they are all there already.
Split splitWhole(const std::string& bytes, const SplitOptions& options)
{
    return splitStream(bytes, SIZE_MAX, options);
}

std::string joined(const std::vector<std::string>& blocks)
{
    std::string all;
    for (const std::string& block : blocks)
        all += block;
    return all;
}

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return static_cast<unsigned char>(c) <= 0x20 && c != 0x1A; }

} // namespace

TEST(LineSplitter, blocksHoldWholeLinesAndAreTheSameHoweverTheBytesArrive)
{
    const struct {
        const char* what;
        std::string bytes;
        bool blankRuns;
    } cases[] = {
        {"empty", "", false},
        {"no line end", "abc", false},
        {"short lines", "a\r\nbb\nccc\rdddd\r\n", false},
        {"lines longer than a block", std::string(40, 'x') + "\n" + std::string(70, 'y') + "\r\nz", false},
        {"a CR LF across a block end", std::string(15, 'x') + "\r\n" + std::string(15, 'y') + "\r\n", false},
        {"zero bytes between lines", "a\n" + std::string(100, '\0') + "b\n", true},
        {"blanks, then a line longer than a block", "a\n" + std::string(20, ' ') + std::string(50, 'x') + "\n", true},
        {"a first line of blanks", std::string(50, ' ') + "x\n", true},
        {"an end mark after blanks", "a\n" + std::string(30, ' ') + "\x1A" + "rest\n", true},
    };
    for (const auto& c : cases) {
        const SplitOptions options{16, 1000, c.blankRuns};
        const Split whole = splitWhole(c.bytes, options);
        EXPECT_EQ(whole.failure, "") << c.what;
        EXPECT_EQ(joined(whole.blocks), c.bytes) << c.what;
        EXPECT_EQ(whole.bytesRead, c.bytes.size()) << c.what;
        for (size_t i = 0; i + 1 < whole.blocks.size(); ++i) {
            const std::string& block = whole.blocks[i];
            ASSERT_FALSE(block.empty()) << c.what;
            // A block ends after a line end, or (where blank runs end blocks) before or after blanks.
            const char last = block.back();
            const char following = whole.blocks[i + 1].front();
            EXPECT_TRUE(isLineEnd(last) || (c.blankRuns && (isBlank(last) || isBlank(following) || following == 0x1A)))
                << c.what << ", block " << i;
        }
        for (size_t step : {size_t(1), size_t(7)}) {
            const Split streamed = splitStream(c.bytes, step, options);
            EXPECT_EQ(streamed.blocks, whole.blocks) << c.what << ", reads of " << step;
            EXPECT_EQ(streamed.bytesRead, c.bytes.size()) << c.what;
        }
    }
}

TEST(LineSplitter, aLineLongerThanTheLimitFailsTheReadWhereverItStands)
{
    const size_t limit = 100;
    const std::string fits(limit, 'x');
    const std::string over(limit + 1, 'x');
    const struct {
        const char* what;
        std::string bytes;
        bool blankRuns;
        bool fails;
    } cases[] = {
        {"a line of the limit", "a\n" + fits + "\r\nb\n", false, false},
        {"a last line of the limit without its end", "a\n" + fits, false, false},
        {"one byte more in the middle", "a\n" + over + "\r\nb\n", false, true},
        {"one byte more at the end, without a line end", "a\n" + over, false, true},
        {"one byte more in the first line", over + "\n", false, true},
        {"a run of zero bytes is a line of the statistics", "a\n" + std::string(500, '\0') + "\nb\n", false, true},
        {"but lies between lines for the load", "a\n" + std::string(500, '\0') + "\nb\n", true, false},
        {"blanks before a line of the limit", "a\n" + std::string(500, ' ') + fits + "\n", true, false},
        {"blanks before a line one byte over", "a\n" + std::string(500, ' ') + over + "\n", true, true},
        {"a first line of zero bytes is a line for the load too", std::string(500, '\0') + "\nb\n", true, true},
    };
    for (const auto& c : cases) {
        for (size_t blockBytes : {size_t(16), size_t(4096)}) {
            const SplitOptions options{blockBytes, limit, c.blankRuns};
            const std::string expected = c.fails ? "Line too long: more than 100 bytes" : "";
            EXPECT_EQ(splitWhole(c.bytes, options).failure, expected) << c.what << ", blocks of " << blockBytes;
            EXPECT_EQ(splitStream(c.bytes, 3, options).failure, expected) << c.what << ", blocks of " << blockBytes;
        }
    }
}

TEST(LineSplitter, oneHugeLineArrivingInSmallReadsIsGatheredOnce)
{
    // Looking for line ends again from the line's start after every read would take hours here.
    std::string bytes(size_t(32) << 20, 'x');
    bytes += "\nend\n";
    const Split split = splitStream(bytes, 4096, {size_t(256) << 10, kMaxLineBytes, false});
    EXPECT_EQ(split.failure, "");
    EXPECT_TRUE(joined(split.blocks) == bytes);
}

TEST(LineSplitter, aStreamErrorEndsTheReadAndStays)
{
    FailingSource source;
    LineSplitter lines(source, {});
    LineBlock block;
    EXPECT_EQ(lines.next(block).status().message(), "I/O error 5");
    EXPECT_EQ(lines.next(block).status().message(), "I/O error 5");
}
