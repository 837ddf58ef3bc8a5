#include "logs/TextArena.h"

#include "platform/VirtualMemory.h"

#include <algorithm>

namespace quill {
namespace {

constexpr size_t kRegionBytes = size_t(64) << 20;
constexpr size_t kHugePage = size_t(2) << 20;

} // namespace

void* RegionCache::take(size_t size)
{
    std::lock_guard lock(m_mutex);
    auto it = std::find_if(m_regions.begin(), m_regions.end(), [&](const auto& r) { return r.second == size; });
    if (it == m_regions.end())
        return nullptr;
    void* base = it->first;
    m_regions.erase(it);
    return base;
}

void RegionCache::give(void* base, size_t size)
{
    std::lock_guard lock(m_mutex);
    m_regions.emplace_back(base, size);
}

void RegionCache::releaseAll()
{
    std::lock_guard lock(m_mutex);
    for (auto [base, size] : m_regions)
        releaseRegion(base, size);
    m_regions.clear();
}

TextArena::~TextArena()
{
    for (const Region& region : m_regions) {
        if (m_cache)
            m_cache->give(region.base, region.size);
        else
            releaseRegion(region.base, region.size);
    }
}

char* TextArena::allocate(size_t bytes)
{
    if (bytes > m_left) {
        const size_t size = std::max(kRegionBytes, (bytes + kHugePage - 1) / kHugePage * kHugePage);
        void* base = m_cache ? m_cache->take(size) : nullptr;
        if (!base)
            base = reserveRegion(size);
        if (!base)
            return nullptr;
        m_regions.push_back({static_cast<char*>(base), size});
        m_next = static_cast<char*>(base);
        m_left = size;
    }
    char* room = m_next;
    m_next += bytes;
    m_left -= bytes;
    return room;
}

} // namespace quill
