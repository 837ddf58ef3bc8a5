#include "platform/VirtualMemory.h"

#include <sys/mman.h>

namespace quill {

void* reserveRegion(size_t bytes)
{
    void* base = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (base == MAP_FAILED)
        return nullptr;
    madvise(base, bytes, MADV_HUGEPAGE);
    return base;
}

void releaseRegion(void* base, size_t bytes)
{
    if (base)
        munmap(base, bytes);
}

} // namespace quill
