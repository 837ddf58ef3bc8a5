#include "logs/RowsText.h"

namespace quill {
namespace {

// Rows scattered by a sort span much of the file: their pages are touched where they lie.
constexpr size_t kMostBytesPerLineByte = 4;
constexpr size_t kSmallSpan = 1 << 20;

} // namespace

void RowsText::copy(const MappedFile& mapping, std::uintptr_t low, std::uintptr_t high, size_t lineBytes)
{
    if (high <= low)
        return;
    const size_t span = high - low;
    if (span > kSmallSpan && span / kMostBytesPerLineByte > lineBytes)
        return;
    if (span > m_capacity) {
        m_copy.reset(new char[span]);
        m_capacity = span;
    }
    const size_t offset = low - reinterpret_cast<std::uintptr_t>(mapping.data());
    if (!mapping.copy(offset, span, m_copy.get()))
        return; // the file changed: the rows read the mapping, and the change check refuses them
    m_from = low;
    m_size = span;
}

} // namespace quill
