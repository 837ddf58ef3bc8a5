#include "logs/TextArena.h"

#include "platform/VirtualMemory.h"

#include <algorithm>

namespace quill {
namespace {

constexpr size_t kRegionBytes = size_t(64) << 20;
constexpr size_t kHugePage = size_t(2) << 20;

} // namespace

TextArena::~TextArena()
{
    for (const Region& region : m_regions)
        releaseRegion(region.base, region.size);
}

char* TextArena::allocate(size_t bytes)
{
    if (bytes > m_left) {
        const size_t size = std::max(kRegionBytes, (bytes + kHugePage - 1) / kHugePage * kHugePage);
        auto* base = static_cast<char*>(reserveRegion(size));
        if (!base)
            return nullptr;
        m_regions.push_back({base, size});
        m_next = base;
        m_left = size;
    }
    char* room = m_next;
    m_next += bytes;
    m_left -= bytes;
    return room;
}

} // namespace quill
