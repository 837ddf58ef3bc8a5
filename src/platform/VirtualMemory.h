#pragma once
// Large anonymous memory regions: address space reserved up front, pages backed only once written,
// huge pages where the system offers them, so big stores cost few page faults.

#include <cstddef>

namespace quill {

// A region of `bytes` bytes, or nullptr when no address space is left.
void* reserveRegion(size_t bytes);

// Gives a region from reserveRegion back.
void releaseRegion(void* base, size_t bytes);

// For a short-lived process: the main thread's heap (and blocks malloc would map on their own)
// grown in large steps of huge pages where the system offers them. On a virtual machine each
// first touch of a small page costs microseconds, and a command that builds a table of 50,000
// rows touches ten thousand of them. Call before other threads start.
void preferLargeHeapPages();

} // namespace quill
