#pragma once
// Append-only storage for the text of kept log lines: large regions that never move, so records
// can point into them, and that the system may back with huge pages. Regions go back to a shared
// cache when the arena dies, so the next load writes into memory that is already mapped.

#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

namespace quill {

// Regions given back by dead arenas, waiting to be used again.
class RegionCache {
public:
    ~RegionCache() { releaseAll(); }
    // A cached region of exactly `size` bytes, or nullptr.
    void* take(size_t size);
    void give(void* base, size_t size);
    // Unmaps every cached region.
    void releaseAll();

private:
    std::mutex m_mutex;
    std::vector<std::pair<void*, size_t>> m_regions;
};

class TextArena {
public:
    explicit TextArena(std::shared_ptr<RegionCache> cache = nullptr) : m_cache(std::move(cache)) {}
    ~TextArena();
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // Room for `bytes` bytes that stays valid as long as the arena; nullptr when memory runs out.
    char* allocate(size_t bytes);

private:
    struct Region {
        char* base;
        size_t size;
    };
    std::shared_ptr<RegionCache> m_cache;
    std::vector<Region> m_regions;
    char* m_next = nullptr;
    size_t m_left = 0;
};

} // namespace quill
