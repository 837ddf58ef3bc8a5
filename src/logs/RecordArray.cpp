#include "logs/RecordArray.h"

#include "platform/VirtualMemory.h"

#include <cstring>
#include <utility>

namespace quill {

RecordArray::~RecordArray() { releaseRegion(m_data, m_capacity * sizeof(LogRecord)); }

RecordArray::RecordArray(RecordArray&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)), m_size(std::exchange(other.m_size, 0)),
      m_capacity(std::exchange(other.m_capacity, 0))
{
}

RecordArray& RecordArray::operator=(RecordArray&& other) noexcept
{
    if (this != &other) {
        releaseRegion(m_data, m_capacity * sizeof(LogRecord));
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_capacity = std::exchange(other.m_capacity, 0);
    }
    return *this;
}

bool RecordArray::reserve(size_t count)
{
    if (count <= m_capacity)
        return true;
    auto* data = static_cast<LogRecord*>(reserveRegion(count * sizeof(LogRecord)));
    if (!data)
        return false;
    if (m_size)
        std::memcpy(static_cast<void*>(data), m_data, m_size * sizeof(LogRecord));
    releaseRegion(m_data, m_capacity * sizeof(LogRecord));
    m_data = data;
    m_capacity = count;
    return true;
}

bool RecordArray::append(std::span<const LogRecord> records)
{
    if (m_size + records.size() > m_capacity && !reserve(std::max(m_capacity * 2, m_size + records.size() + 1024)))
        return false;
    if (!records.empty())
        std::memcpy(static_cast<void*>(m_data + m_size), records.data(), records.size() * sizeof(LogRecord));
    m_size += records.size();
    return true;
}

} // namespace quill
