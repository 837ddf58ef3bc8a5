#pragma once
// The bounds every reader of logs keeps: how long one line may be, and what running out of memory
// says.

#include <cstddef>
#include <string>

namespace quill {

// A longer line fails the read, in a file as in a stream.
inline constexpr size_t kMaxLineBytes = size_t(1) << 30;

// The message of a read that ran out of memory.
inline constexpr const char* kOutOfMemoryText = "Out of memory";

// "Line too long: more than `limit` bytes".
inline std::string lineTooLongText(size_t limit)
{
    return "Line too long: more than " + std::to_string(limit) + " bytes";
}

} // namespace quill
