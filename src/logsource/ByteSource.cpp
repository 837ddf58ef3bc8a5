#include "logsource/ByteSource.h"

#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "logsource/GzipSource.h"
#include "logsource/ZipSource.h"

#include <cerrno>
#include <unistd.h>

namespace quill {
namespace {

bool endsWithIgnoreCase(std::string_view name, std::string_view suffix)
{
    if (name.size() < suffix.size())
        return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 32);
        if (c != suffix[i])
            return false;
    }
    return true;
}

} // namespace

Result<size_t> FdSource::read(char* into, size_t size)
{
    while (true) {
        const ssize_t got = readSome(m_fd, into, size);
        if (got >= 0)
            return static_cast<size_t>(got);
        // A pipe opened without blocking: wait for its writer's next bytes.
        bool timedOut = false;
        if (errno != EAGAIN || !waitForBytes(m_fd, -1, timedOut))
            return Status::failure(fileErrorText(errno));
    }
}

ArchiveKind archiveKindOf(std::string_view name)
{
    if (endsWithIgnoreCase(name, ".gz"))
        return ArchiveKind::Gzip;
    if (endsWithIgnoreCase(name, ".zip"))
        return ArchiveKind::Zip;
    return ArchiveKind::None;
}

std::string damagedArchiveText(std::string_view detail)
{
    return gbk("压缩文件已损坏: ") + std::string(detail);
}

Result<std::unique_ptr<ByteSource>> openArchive(int fd, ArchiveKind kind)
{
    switch (kind) {
    case ArchiveKind::Gzip:
        return std::unique_ptr<ByteSource>(std::make_unique<GzipSource>(fd));
    case ArchiveKind::Zip:
        return openZipSource(fd);
    case ArchiveKind::None:
        break;
    }
    return std::unique_ptr<ByteSource>(std::make_unique<FdSource>(fd));
}

} // namespace quill
