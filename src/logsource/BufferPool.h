#pragma once
// Input buffers of one size that come back once their lines are done with, so a reader keeps
// reading into memory that is already mapped: on a virtual machine each first touch of a page
// costs microseconds. Safe to use from several threads.

#include "logsource/LineSplitter.h"

#include <mutex>
#include <vector>

namespace quill {

class BufferPool {
public:
    explicit BufferPool(size_t bufferBytes) : m_bufferBytes(bufferBytes) {}

    // A buffer given back, or a new one; nullptr when there is no memory for one.
    ByteBuffer take()
    {
        std::lock_guard lock(m_mutex);
        if (m_free.empty())
            return allocateBytes(m_bufferBytes);
        ByteBuffer buffer = std::move(m_free.back());
        m_free.pop_back();
        return buffer;
    }

    // Keeps `buffer` for the next take when it has the pool's size (one grown for a long line is
    // let go), else frees it.
    void give(ByteBuffer buffer, size_t capacity)
    {
        if (capacity != m_bufferBytes)
            return;
        std::lock_guard lock(m_mutex);
        try {
            m_free.push_back(std::move(buffer));
        } catch (const std::bad_alloc&) {
        }
    }

private:
    const size_t m_bufferBytes;
    std::mutex m_mutex;
    std::vector<ByteBuffer> m_free;
};

} // namespace quill
