#pragma once
// The text of one log file as the ledger reads it: a plain file mapped, an archive decompressed as
// it streams; its head for the fingerprint, and its lines from a given offset handed in blocks to
// two threads, each block knowing the field maps of its lines.

#include "ledger/LedgerFacts.h"
#include "logs/LogBlock.h"
#include "logsource/ByteSource.h"
#include "platform/LineScan.h"
#include "platform/Status.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace quill {

struct LogReadEnd {
    std::uint64_t readTo = 0; // text offset after the last line read
    HeaderState state;        // the header state there
};

class LogTextReader {
public:
    // Opens a regular log file or archive ("*.gz", "*.zip"); pipes, devices and folders are refused.
    static Result<std::unique_ptr<LogTextReader>> open(const std::string& path);
    ~LogTextReader();
    LogTextReader(const LogTextReader&) = delete;
    LogTextReader& operator=(const LogTextReader&) = delete;

    std::uint64_t fileSize() const { return m_fileSize; }
    bool isArchive() const { return m_archive != ArchiveKind::None; }
    // The first `bytes` bytes of the log text (fewer when it is shorter).
    Result<std::string> head(size_t bytes);

    // Reads the text from `from` (an offset after a line end, or 0) with the header state there,
    // and hands every block to `consume(thread, block)`, which runs on two threads at once. A plain
    // file is read up to its last line end, since the web server may still be writing the line
    // after it; an archive to its end. Ends early with kCancelledText once `stop` is set.
    Result<LogReadEnd> read(std::uint64_t from, const HeaderState& state,
                            const std::function<void(unsigned thread, const LogBlock& block)>& consume,
                            const std::atomic<bool>& stop);

private:
    LogTextReader(int fd, std::uint64_t fileSize, ArchiveKind archive)
        : m_fd(fd), m_fileSize(fileSize), m_archive(archive)
    {
    }
    Result<std::unique_ptr<ByteSource>> openStream();

    int m_fd;
    std::uint64_t m_fileSize;
    ArchiveKind m_archive;
};

// Calls `visit(line, map)` for every data line of `block` (found as the load finds them: blanks
// before a line skipped, the 0x1A end mark honoured) with the field map in effect for it.
template <typename Visit>
void forEachDataLine(const LogBlock& block, Visit&& visit)
{
    const char* data = block.data;
    const char* end = data + block.size;
    const char* p = block.startsFile ? data : skipBlankBytes(data, end);
    size_t transition = 0;
    while (p < end && !(*p == 0x1A && (p != data || !block.startsFile))) {
        size_t blanks = 0, firstHigh = 0;
        const char* lineEnd = findLineEnd(p, end, blanks, firstHigh);
        const auto length = static_cast<size_t>(lineEnd - p);
        if (isDataLine(p, length, blanks)) {
            const auto at = static_cast<size_t>(p - data);
            while (transition + 1 < block.transitions.size() && block.transitions[transition + 1].offset <= at)
                ++transition;
            visit(std::string_view(p, length), block.transitions[transition].map);
        }
        p = skipBlankBytes(lineEnd, end);
    }
}

// The message of a read ended by its stop flag.
inline constexpr const char* kCancelledText = "cancelled";

} // namespace quill
