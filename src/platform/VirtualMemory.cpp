#include "platform/VirtualMemory.h"

#include <cstdint>
#include <cstdlib>
#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace quill {

void* reserveRegion(size_t bytes)
{
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    madvise(base, bytes, MADV_HUGEPAGE);
    return base;
}

void preferLargeHeapPages()
{
    constexpr int kHeapStep = 128 << 20;
    // Blocks up to 256 MiB come from the heap instead of a mapping of their own each.
    mallopt(M_MMAP_THRESHOLD, 256 << 20);
    mallopt(M_TOP_PAD, kHeapStep);
    mallopt(M_TRIM_THRESHOLD, 2 * kHeapStep);
    // A block that makes the heap grow, untouched: the heap then reaches a step past it, and
    // huge pages are asked for over all of it.
    void* probe = std::malloc(kHeapStep / 2);
    if (!probe)
        return;
    const std::uintptr_t pageSize = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(probe) + pageSize) & ~(pageSize - 1);
    const auto end = reinterpret_cast<std::uintptr_t>(sbrk(0));
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
    std::free(probe);
}

void releaseRegion(void* base, size_t bytes)
{
    if (base)
        munmap(base, bytes);
}

} // namespace quill
