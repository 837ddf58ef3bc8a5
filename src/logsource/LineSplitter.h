#pragma once
// Cuts a log into blocks of whole lines, with the same cuts however the stream delivers its
// bytes. A line ends at CR or LF. A line longer than the limit fails the read, and however
// long a line is, its bytes are looked at a bounded number of times.

#include "logsource/ByteSource.h"
#include "logsource/ReadLimits.h"

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

namespace quill {

// Memory from malloc, so that a buffer outgrown by a long line can be grown where it is (realloc
// moves the pages of a large buffer instead of copying its bytes).
struct FreeBytes {
    void operator()(char* bytes) const { std::free(bytes); }
};
using ByteBuffer = std::unique_ptr<char[], FreeBytes>;

// `size` bytes, or nullptr when there is no memory for them.
ByteBuffer allocateBytes(size_t size);

struct LineBlock {
    const char* data = nullptr;
    size_t size = 0;
    ByteBuffer buffer;    // holds the lines
    size_t capacity = 0;  // of buffer
    bool startsLog = false;
};

struct SplitOptions {
    size_t blockBytes = size_t(256) << 10; // a block is about this long, longer only for a long line
    size_t lineBytes = kMaxLineBytes;      // a longer line fails the read
    // The load skips bytes <= 0x20 between lines, so for it a run of them ends a block as well: a
    // hole of zero bytes never has to fit into one block. Such runs are never cut in the first
    // block, whose first line is taken as it is.
    bool blankRunsEndBlocks = false;
};

class LineSplitter {
public:
    // Splits what `stream` delivers; the stream must outlive the splitter.
    LineSplitter(ByteSource& stream, const SplitOptions& options);

    // Fills `block` with the next whole lines (the log's last line may lack its line end); false
    // once the log has ended. A buffer of blockBytes() that `block` still holds, from the caller
    // or the last call, is reused. Fails with lineTooLongText, kOutOfMemoryText or the stream's
    // error; after a failure nothing more is read.
    Result<bool> next(LineBlock& block);

    // The size of a block's buffer unless a long line makes it grow.
    size_t blockBytes() const { return m_blockBytes; }
    // Bytes of the log read so far.
    std::uint64_t bytesRead() const { return m_bytesRead; }

private:
    Result<size_t> fill();
    Status grow();
    size_t findCut();
    Status deliver(size_t cut, LineBlock& block);

    ByteSource& m_stream;
    size_t m_lineBytes;
    size_t m_blockBytes;
    bool m_blankRuns;

    // The block being gathered: its bytes, how many of them hold data, and its room.
    ByteBuffer m_buffer;
    const char* m_data = nullptr;
    size_t m_used = 0;
    size_t m_capacity = 0;
    size_t m_searched = 0; // the first bytes of the block, known to hold no line end
    bool m_first = true;
    bool m_ended = false;
    bool m_failed = false;
    std::string m_failure;
    std::uint64_t m_bytesRead = 0;
};

} // namespace quill
