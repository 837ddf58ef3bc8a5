#include "logsource/LineSplitter.h"

#include "platform/LineScan.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace quill {
namespace {

// One read asks for at most this much, so a reader that is abandoned hears of it soon even while
// a long line comes in.
constexpr size_t kMostPerRead = size_t(64) << 20;

} // namespace

ByteBuffer allocateBytes(size_t size) { return ByteBuffer(static_cast<char*>(std::malloc(std::max<size_t>(size, 1)))); }

LineSplitter::LineSplitter(ByteSource& stream, const SplitOptions& options)
    : m_stream(stream),
      m_lineBytes(std::min(options.lineBytes, SIZE_MAX / 4)),
      m_blockBytes(std::max<size_t>(1, std::min(options.blockBytes, m_lineBytes + 1))),
      m_blankRuns(options.blankRunsEndBlocks),
      m_capacity(m_blockBytes)
{
}

Result<bool> LineSplitter::next(LineBlock& block)
{
    if (m_failed)
        return Status::failure(m_failure);
    while (!m_ended) {
        Status step;
        if (m_used == m_capacity) {
            if (const size_t cut = findCut(); cut > 0) {
                step = deliver(cut, block);
                if (step.ok())
                    return true;
            } else {
                step = grow();
            }
        } else {
            const Result<size_t> got = fill();
            step = got.status();
            if (got.ok() && got.value() == 0)
                m_ended = true;
        }
        if (!step.ok()) {
            m_failed = true;
            m_failure = step.message();
            return step;
        }
    }
    if (m_used == 0)
        return false;
    // The last lines, the very last one perhaps without its line end.
    block.data = m_data;
    block.size = m_used;
    block.startsLog = m_first;
    block.buffer = std::move(m_buffer);
    block.capacity = block.buffer ? m_capacity : 0;
    m_used = 0;
    m_first = false;
    return true;
}

Result<size_t> LineSplitter::fill()
{
    if (!m_buffer) {
        m_buffer = allocateBytes(m_capacity);
        if (!m_buffer)
            return Status::failure(kOutOfMemoryText);
        m_data = m_buffer.get();
    }
    const Result<size_t> read = m_stream.read(m_buffer.get() + m_used, std::min(m_capacity - m_used, kMostPerRead));
    if (!read.ok())
        return read.status();
    const size_t got = read.value();
    m_used += got;
    m_bytesRead += got;
    return got;
}

Status LineSplitter::grow()
{
    // The block is one line from its start, and it has no room left.
    if (m_capacity > m_lineBytes)
        return Status::failure(lineTooLongText(m_lineBytes));
    const size_t capacity = std::min(m_capacity * 2, m_lineBytes + 1);
    char* grown = static_cast<char*>(std::realloc(m_buffer.get(), capacity));
    if (!grown)
        return Status::failure(kOutOfMemoryText);
    (void)m_buffer.release();
    m_buffer.reset(grown);
    m_data = grown;
    m_capacity = capacity;
    return {};
}

size_t LineSplitter::findCut()
{
    // Only the bytes read since the last look can hold a line end.
    size_t lineEnd = 0;
    if (const size_t after = afterLastLineEnd(m_data + m_searched, m_used - m_searched); after > 0)
        lineEnd = m_searched + after;
    else
        m_searched = m_used;
    if (!m_blankRuns || (lineEnd == 0 && m_first))
        return lineEnd;
    const char* end = m_data + m_used;
    const char* blanksEnd = skipBlankBytes(m_data + lineEnd, end);
    if (blanksEnd == end)
        return m_used; // only blanks follow the last line end
    if (lineEnd == 0)
        return static_cast<size_t>(blanksEnd - m_data); // the long line after them starts a block
    return lineEnd;
}

Status LineSplitter::deliver(size_t cut, LineBlock& block)
{
    const size_t rest = m_used - cut;
    const size_t capacity = std::max(m_blockBytes, std::min(rest * 2, m_lineBytes + 1));
    ByteBuffer spare;
    if (block.buffer && block.capacity == m_blockBytes)
        spare = std::move(block.buffer);
    block.buffer.reset();
    block.data = m_data;
    block.size = cut;
    block.startsLog = m_first;
    block.capacity = 0;
    // The unfinished last line moves to the next block's buffer.
    ByteBuffer next = capacity == m_blockBytes && spare ? std::move(spare) : allocateBytes(capacity);
    if (!next)
        return Status::failure(kOutOfMemoryText);
    std::memcpy(next.get(), m_data + cut, rest);
    block.buffer = std::move(m_buffer);
    block.capacity = m_capacity;
    m_buffer = std::move(next);
    m_data = m_buffer.get();
    m_capacity = capacity;
    m_used = rest;
    m_searched = rest; // what follows the cut holds no line end
    m_first = false;
    return {};
}

} // namespace quill
