#pragma once
// A stream of bytes read in blocks: a plain file, or the log inside a compressed archive.

#include "platform/Status.h"

#include <cstddef>
#include <memory>
#include <string_view>

namespace quill {

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Reads up to `size` (> 0) bytes into `into`; 0 only at the end of the stream.
    virtual Result<size_t> read(char* into, size_t size) = 0;
};

// The bytes of an open descriptor, which stays the caller's.
class FdSource : public ByteSource {
public:
    explicit FdSource(int fd) : m_fd(fd) {}
    Result<size_t> read(char* into, size_t size) override;

private:
    int m_fd;
};

enum class ArchiveKind { None, Gzip, Zip };

// What a log file's name says it is: "*.gz" is gzip, "*.zip" a ZIP archive (case ignored).
ArchiveKind archiveKindOf(std::string_view name);

// The text every damaged archive reports, followed by what was wrong (GBK).
std::string damagedArchiveText(std::string_view detail);

// The log text inside the archive open on `fd` (which stays the caller's and must stay open while
// the source lives): a gzip file decompressed, or a ZIP archive's "*.log" entries one after
// another. Fails with damagedArchiveText when the archive cannot be read.
Result<std::unique_ptr<ByteSource>> openArchive(int fd, ArchiveKind kind);

} // namespace quill
