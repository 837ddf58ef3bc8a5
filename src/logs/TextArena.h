#pragma once
// Append-only storage for the text of kept log lines: large regions that never move, so records
// can point into them, and that the system may back with huge pages.

#include <cstddef>
#include <vector>

namespace quill {

class TextArena {
public:
    TextArena() = default;
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
    std::vector<Region> m_regions;
    char* m_next = nullptr;
    size_t m_left = 0;
};

} // namespace quill
