#pragma once
// Formats a long output in chunks on two threads and hands the chunks on strictly in order, so
// printing and export use both cores while their bytes stay those of a single pass.

#include "platform/Status.h"

#include <atomic>
#include <cstddef>
#include <functional>
#include <string>

namespace quill {

struct OrderedChunks {
    // Appends chunk `index` to `out` (which comes empty).
    std::function<void(size_t index, std::string& out)> format;
    // Takes the chunks in index order; a failed status ends the run with it.
    std::function<Status(const std::string& chunk)> deliver;
    // Checked between chunks; once set the run ends with the status "cancelled".
    const std::atomic<bool>* cancel = nullptr;
};

inline constexpr std::string_view kCancelledMessage = "cancelled";

// Runs chunks 0..count-1. Returns the first failure of `deliver`, the cancellation, or success.
Status runOrderedChunks(size_t count, const OrderedChunks& job);

} // namespace quill
