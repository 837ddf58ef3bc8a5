#pragma once
// A log's text as the ledger reads it, through the log source: its head for the fingerprint, and
// its lines from a given offset handed in blocks to two threads, each block knowing the field
// maps of its lines.

#include "ledger/LedgerFacts.h"
#include "logs/LogBlock.h"
#include "logsource/LogSource.h"
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

class LedgerLogText {
public:
    // Opens the log at `path` (a plain file or an archive) through the log source. A pipe is
    // refused: what it held cannot be found again, so no offset in it means anything later.
    static Result<std::unique_ptr<LedgerLogText>> open(const std::string& path, const std::atomic<bool>& stop);

    // The file's size when it was opened (an archive's compressed size).
    std::uint64_t fileSize() const { return m_source->sizeAtOpen(); }
    bool isArchive() const { return m_source->archive() != ArchiveKind::None; }
    // The first `bytes` bytes of the log text (fewer when it is shorter). Called once, before read.
    Result<std::string> head(size_t bytes);

    // Reads the text from `from` (an offset after a line end, or 0) with the header state there,
    // and hands every block to `consume(thread, block)`, which runs on two threads at once. A plain
    // file is read up to its last line end, since the web server may still be writing the line
    // after it; an archive to its end. Fails with kCancelledText once `stop` is set.
    Result<LogReadEnd> read(std::uint64_t from, const HeaderState& state,
                            const std::function<void(unsigned thread, const LogBlock& block)>& consume,
                            const std::atomic<bool>& stop);

private:
    explicit LedgerLogText(std::unique_ptr<LogSource> source) : m_source(std::move(source)) {}

    std::unique_ptr<LogSource> m_source;
    std::string m_taken; // an archive's head, read from its stream before its lines
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

} // namespace quill
