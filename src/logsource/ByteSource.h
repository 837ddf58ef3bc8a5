#pragma once
// A stream of bytes read in blocks: a plain file or a pipe, or the log inside a compressed archive.

#include "platform/Status.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quill {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` (> 0) bytes into `into`; 0 only at the end of the stream.
    virtual Result<size_t> read(char* into, size_t size) = 0;
};

// The bytes of an open descriptor, which stays the caller's, after the `taken` bytes already read
// from it. A pipe opened without blocking is waited for. Once `abandon` (when given) is set, every
// read fails with cancelledText(), also one that is waiting.
class FdSource : public ByteSource {
public:
    FdSource(int fd, std::string taken, const std::atomic<bool>* abandon);
    Result<size_t> read(char* into, size_t size) override;

private:
    int m_fd;
    std::string m_taken;
    const std::atomic<bool>* m_abandon;
};

// What a read that was abandoned reports; no reader shows it, since whoever abandons stops listening.
inline constexpr const char* kCancelledText = "Cancelled";

// Waits up to `timeoutMs` (-1: without end) until `fd` has bytes or its stream has ended, looking
// at `abandon` (when given) every few milliseconds. False on an error (errno set) or once
// abandoned; `timedOut` tells whether the time ran out.
bool waitForStream(int fd, int timeoutMs, const std::atomic<bool>* abandon, bool& timedOut);

enum class ArchiveKind { None, Gzip, Zip };

// What a log file's name says it is: "*.gz" is gzip, "*.zip" a ZIP archive (case ignored).
ArchiveKind archiveKindOf(std::string_view name);

// The text every damaged archive reports, followed by what was wrong (GBK).
std::string damagedArchiveText(std::string_view detail);

} // namespace quill
