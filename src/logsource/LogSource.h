#pragma once
// The one way a log path is opened, whoever reads it: without blocking, with one policy for pipes,
// devices, folders and files that cannot be read, archives read as the log inside them, and a
// regular file offered as a mapping.

#include "logsource/ByteSource.h"
#include "platform/FileHandle.h"
#include "platform/MappedFile.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace quill {

// What a log path holds. Nothing there, or a folder, is no log to read; what to make of that is
// each reader's choice (the load leaves its list empty, the statistics show a row without counts).
enum class LogPathState { Log, Missing, Folder };

class LogSource;

// Which file a path names: the same file keeps it whatever it is renamed to.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool operator==(const FileIdentity&) const = default;
};

// The file `path` names now; nothing when there is none or it cannot be asked.
std::optional<FileIdentity> fileIdentityAt(const std::string& path);

struct OpenedLog {
    LogPathState state = LogPathState::Missing;
    std::unique_ptr<LogSource> source; // set when state is Log
};

// How long a pipe may go without a writer before it is refused.
inline constexpr int kPipeWriterWaitMs = 1000;

// Opens the log at `path`. A regular file or a pipe opens ("*.gz" and "*.zip" as the archives
// their names say); a pipe that no program writes to within a second, a device and anything else
// that is no file fail with a message, as does a file that cannot be opened. Once `abandon` (when
// given) is set, a wait ends and every read fails.
Result<OpenedLog> openLog(const std::string& path, const std::atomic<bool>* abandon = nullptr);

// The message of a path without a log, for the readers that report one: a file-system error text.
std::string noLogText(LogPathState state);

class LogSource {
public:
    ~LogSource();
    LogSource(const LogSource&) = delete;
    LogSource& operator=(const LogSource&) = delete;

    bool isPipe() const { return m_pipe; }
    ArchiveKind archive() const { return m_archive; }
    // The file's size when it was opened; 0 for a pipe.
    std::uint64_t sizeAtOpen() const { return m_size; }

    // A plain regular file mapped whole; nullptr for anything else or when it cannot be mapped,
    // and then stream() is read instead.
    std::unique_ptr<MappedFile> map() const;

    // The log's bytes: the file or pipe itself, or the log inside the archive.
    ByteSource& stream() { return *m_stream; }

    // The size the statistics show once `streamed` bytes of the log were read: a plain file's size
    // as it is now (a log being written grows meanwhile), else the bytes of the log that were read.
    std::uint64_t shownSize(std::uint64_t streamed) const;

    // The file's size now, or nothing when it cannot be asked.
    std::optional<std::uint64_t> sizeNow() const;

    // A plain file, which can be read from any offset and may grow: not a pipe, not an archive.
    bool readsAtOffsets() const { return !m_pipe && m_archive == ArchiveKind::None; }
    FileIdentity identity() const { return m_identity; }
    // Reads up to `size` bytes of a plain file from `offset`; fewer only at its end.
    Result<size_t> readAt(std::uint64_t offset, char* into, size_t size) const;
    // The bytes of a plain file from `from` up to `to`, or up to its end should it be shorter.
    std::unique_ptr<ByteSource> range(std::uint64_t from, std::uint64_t to) const;
    // Where the whole lines among a plain file's first `size` bytes end: just after the last CR
    // or LF, so that a line still being written is left out; 0 when there is none.
    Result<std::uint64_t> wholeLinesEnd(std::uint64_t size) const;

private:
    friend Result<OpenedLog> openLog(const std::string& path, const std::atomic<bool>* abandon);
    LogSource(int fd, bool pipe, ArchiveKind archive, std::uint64_t size, FileIdentity identity, std::string taken,
              const std::atomic<bool>* abandon);
    // An archive's log, ready to be read; fails when the archive cannot be read.
    Status openArchive();

    FileHandle m_file;
    bool m_pipe;
    ArchiveKind m_archive;
    std::uint64_t m_size;
    FileIdentity m_identity;
    std::unique_ptr<ByteSource> m_raw;    // the descriptor's bytes
    std::unique_ptr<ByteSource> m_inside; // an archive's log
    ByteSource* m_stream;
};

} // namespace quill
