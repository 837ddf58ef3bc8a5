#pragma once
// Results as tests compare them.

#include "platform/Status.h"

#include <optional>

namespace quill::test {

// The value of `result`, or nothing when it failed.
template <typename T>
std::optional<T> valueOf(const Result<T>& result)
{
    return result ? std::optional<T>(result.value()) : std::nullopt;
}

} // namespace quill::test
