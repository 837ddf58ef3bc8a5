#include "logsource/ZipSource.h"

#include "platform/CodePage.h"
#include "platform/FileHandle.h"
#include "platform/FileSystem.h"
#include "platform/ZipHandles.h"
#include "platform/ZipLayout.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include <zip.h>

namespace quill {
namespace {

// The indexes of the archive's "*.log" entries in archive order (folders skipped).
std::vector<zip_uint64_t> logEntries(zip_t* archive)
{
    std::vector<zip_uint64_t> entries;
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const char* name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name && matchesWildcard(name, "*.log"))
            entries.push_back(static_cast<zip_uint64_t>(i));
    }
    return entries;
}

Result<ZipArchive> openArchiveFd(int fd, int flags)
{
    const int own = dup(fd); // libzip closes the descriptor it was given
    if (own < 0)
        return Status::failure(fileErrorText(errno));
    int code = 0;
    ZipArchive archive(zip_fdopen(own, flags, &code));
    if (archive)
        return archive;
    close(own);
    zip_error_t zipError;
    zip_error_init_with_code(&zipError, code);
    Status damaged = Status::failure(damagedArchiveText(zip_error_strerror(&zipError)));
    zip_error_fini(&zipError);
    return damaged;
}

class ZipSource : public ByteSource {
public:
    ZipSource(ZipArchive archive, std::vector<zip_uint64_t> entries)
        : m_archive(std::move(archive)), m_entries(std::move(entries))
    {
    }

    Result<size_t> read(char* into, size_t size) override
    {
        while (true) {
            if (!m_entry) {
                if (m_next == m_entries.size())
                    return size_t(0);
                // An entry that does not end its last line must not run into the next entry.
                if (m_next > 0 && m_last != '\n' && m_last != '\r') {
                    m_last = '\n';
                    *into = '\n';
                    return size_t(1);
                }
                zip_stat_t stat;
                if (zip_stat_index(m_archive.get(), m_entries[m_next], 0, &stat) != 0 || !(stat.valid & ZIP_STAT_SIZE))
                    return Status::failure(damagedArchiveText(zip_strerror(m_archive.get())));
                m_entry.reset(zip_fopen_index(m_archive.get(), m_entries[m_next], 0));
                if (!m_entry)
                    return Status::failure(damagedArchiveText(zip_strerror(m_archive.get())));
                m_left = stat.size;
                ++m_next;
            }
            const zip_int64_t got = zip_fread(m_entry.get(), into, size);
            if (got < 0)
                return Status::failure(damagedArchiveText(zip_file_strerror(m_entry.get())));
            // Never more than the directory declared, which the layout check bounded.
            if (static_cast<zip_uint64_t>(got) > m_left)
                return Status::failure(damagedArchiveText(gbk("条目比目录所说的大")));
            m_left -= static_cast<zip_uint64_t>(got);
            if (got > 0) {
                m_last = into[got - 1];
                return static_cast<size_t>(got);
            }
            m_entry.reset();
        }
    }

private:
    ZipArchive m_archive;
    std::vector<zip_uint64_t> m_entries;
    ZipEntry m_entry;
    size_t m_next = 0;
    zip_uint64_t m_left = 0; // bytes the open entry may still give
    char m_last = '\n';
};

} // namespace

Result<std::unique_ptr<ByteSource>> openZipSource(int fd)
{
    Result<ZipArchive> opened = openArchiveFd(fd, ZIP_RDONLY | ZIP_CHECKCONS);
    if (!opened)
        return opened.status();
    ZipArchive archive = std::move(opened.value());
    if (Status layout = checkZipLayout(fd, archive.get()); !layout)
        return Status::failure(damagedArchiveText(layout.message()));
    std::vector<zip_uint64_t> entries = logEntries(archive.get());
    if (entries.empty())
        return Status::failure(gbk("压缩文件中没有 .log 文件"));
    return std::unique_ptr<ByteSource>(std::make_unique<ZipSource>(std::move(archive), std::move(entries)));
}

bool zipMayHoldLogs(const std::string& path)
{
    // Only a regular file is looked into: opening a pipe could wait for its writer for ever, and
    // whatever is not a file is listed so that reading it says what is wrong.
    FileHandle file(open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    struct stat info {};
    if (file.get() < 0 || fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return true;
    const Result<ZipArchive> archive = openArchiveFd(file.get(), ZIP_RDONLY);
    return !archive || !logEntries(archive.value().get()).empty();
}

} // namespace quill
