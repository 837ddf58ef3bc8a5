#pragma once
// Large anonymous memory regions: address space reserved up front, pages backed only once written,
// huge pages where the system offers them, so big stores cost few page faults.

#include <cstddef>

namespace quill {

// A region of `bytes` bytes, or nullptr when no address space is left.
void* reserveRegion(size_t bytes);

// Gives a region from reserveRegion back.
void releaseRegion(void* base, size_t bytes);

} // namespace quill
