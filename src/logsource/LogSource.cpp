#include "logsource/LogSource.h"

#include "logsource/GzipSource.h"
#include "logsource/ReadLimits.h"
#include "logsource/ZipSource.h"
#include "platform/FileSystem.h"
#include "platform/LineScan.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quill {
namespace {

// A pipe gets a moment for its writer to turn up. With a writer the probe finds nothing yet,
// without one the end; a byte it reads goes to `taken`. Fails with errno's text, or with
// cancelled or no-writer text.
Status awaitWriter(int fd, const std::atomic<bool>* abandon, std::string& taken)
{
    bool timedOut = false;
    if (!waitForStream(fd, kPipeWriterWaitMs, abandon, timedOut))
        return Status::failure(abandon && *abandon ? std::string(kCancelledText) : fileErrorText(errno));
    if (!timedOut)
        return {};
    char byte;
    const ssize_t got = readSome(fd, &byte, 1);
    if (got == 1)
        taken.assign(1, byte);
    else if (got == 0)
        return Status::failure("No program writes to this pipe");
    else if (errno != EAGAIN)
        return Status::failure(fileErrorText(errno));
    return {};
}

// A plain file's bytes between two offsets, read with pread so the descriptor's own offset stays.
class RangeSource : public ByteSource {
public:
    RangeSource(const LogSource& file, std::uint64_t from, std::uint64_t to) : m_file(file), m_at(from), m_to(to) {}

    Result<size_t> read(char* into, size_t size) override
    {
        const size_t wanted = static_cast<size_t>(std::min<std::uint64_t>(size, m_to - std::min(m_at, m_to)));
        if (wanted == 0)
            return size_t(0);
        Result<size_t> got = m_file.readAt(m_at, into, wanted);
        if (got.ok())
            m_at += got.value();
        return got;
    }

private:
    const LogSource& m_file;
    std::uint64_t m_at;
    std::uint64_t m_to;
};

FileIdentity identityOf(const struct stat& info)
{
    return {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)};
}

} // namespace

std::optional<FileIdentity> fileIdentityAt(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return identityOf(info);
}

Result<OpenedLog> openLog(const std::string& path, const std::atomic<bool>* abandon)
{
    // Without blocking, so that a pipe nobody writes to cannot hold the open.
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (file.get() < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return OpenedLog{LogPathState::Missing, nullptr};
        return Status::failure(fileErrorText(errno));
    }
    struct stat info {};
    if (fstat(file.get(), &info) != 0)
        return Status::failure(fileErrorText(errno));
    if (S_ISDIR(info.st_mode))
        return OpenedLog{LogPathState::Folder, nullptr};
    const bool pipe = S_ISFIFO(info.st_mode);
    // A device never ends (/dev/zero) or holds no log; neither does anything else that is no file.
    if (!pipe && !S_ISREG(info.st_mode))
        return Status::failure("Not a regular file or a pipe");
    const ArchiveKind archive = archiveKindOf(path);
    if (pipe && archive == ArchiveKind::Zip) // its directory stands at its end: it needs seeking
        return Status::failure("A ZIP archive cannot be read from a pipe");
    std::string taken;
    if (pipe) {
        if (Status writer = awaitWriter(file.get(), abandon, taken); !writer.ok())
            return writer;
    } else {
        posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    }
    const std::uint64_t size = pipe ? 0 : static_cast<std::uint64_t>(info.st_size);
    std::unique_ptr<LogSource> source(new LogSource(file.release(), pipe, archive, size, identityOf(info), std::move(taken), abandon));
    if (Status inside = source->openArchive(); !inside.ok())
        return inside;
    return OpenedLog{LogPathState::Log, std::move(source)};
}

std::string noLogText(LogPathState state)
{
    return fileErrorText(state == LogPathState::Folder ? EISDIR : ENOENT);
}

LogSource::LogSource(int fd, bool pipe, ArchiveKind archive, std::uint64_t size, FileIdentity identity,
                     std::string taken, const std::atomic<bool>* abandon)
    : m_file(fd), m_pipe(pipe), m_archive(archive), m_size(size), m_identity(identity),
      m_raw(std::make_unique<FdSource>(fd, std::move(taken), abandon)), m_stream(m_raw.get())
{
}

LogSource::~LogSource() = default;

Status LogSource::openArchive()
{
    switch (m_archive) {
    case ArchiveKind::Gzip:
        m_inside = std::make_unique<GzipSource>(*m_raw);
        break;
    case ArchiveKind::Zip: {
        Result<std::unique_ptr<ByteSource>> zip = openZipSource(m_file.get());
        if (!zip.ok())
            return zip.status();
        m_inside = std::move(zip.value());
        break;
    }
    case ArchiveKind::None:
        return {};
    }
    m_stream = m_inside.get();
    return {};
}

std::unique_ptr<MappedFile> LogSource::map() const
{
    if (m_pipe || m_archive != ArchiveKind::None)
        return nullptr;
    return MappedFile::map(m_file.get(), static_cast<size_t>(m_size));
}

std::optional<std::uint64_t> LogSource::sizeNow() const
{
    struct stat info {};
    if (fstat(m_file.get(), &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

Result<size_t> LogSource::readAt(std::uint64_t offset, char* into, size_t size) const
{
    return readAtOffset(m_file.get(), offset, into, size);
}

std::unique_ptr<ByteSource> LogSource::range(std::uint64_t from, std::uint64_t to) const
{
    return std::make_unique<RangeSource>(*this, from, to);
}

Result<std::uint64_t> LogSource::wholeLinesEnd(std::uint64_t size) const
{
    // Backwards a piece at a time; a line longer than any line may be is not looked through.
    constexpr size_t kPiece = size_t(64) << 10;
    std::vector<char> piece(kPiece);
    std::uint64_t end = size;
    while (end > 0 && size - end <= kMaxLineBytes) {
        const size_t length = static_cast<size_t>(std::min<std::uint64_t>(kPiece, end));
        const Result<size_t> got = readAt(end - length, piece.data(), length);
        if (!got.ok())
            return got.status();
        if (got.value() < length) // cut short meanwhile: its end is the end
            return wholeLinesEnd(end - length + got.value());
        if (const size_t after = afterLastLineEnd(piece.data(), length); after > 0)
            return end - length + after;
        end -= length;
    }
    return std::uint64_t(0);
}

std::uint64_t LogSource::shownSize(std::uint64_t streamed) const
{
    if (m_pipe || m_archive != ArchiveKind::None)
        return streamed;
    return sizeNow().value_or(0);
}

} // namespace quill
